// Every method name and alias selects its own method, and every available
// method runs a stream: the stream's uniforms are its engine's, a rewind
// restarts them, keyed substreams differ, and the uniforms pass a
// Kolmogorov-Smirnov test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "distribution_checks.h"
#include "random/zrand_status.h"
#include "random/zrng_methods.h"
#include "random/zrngmeth.h"
#include "random_support.h"

namespace {

using namespace zrand_status;

struct Alias {
  const char* name;
  const char* method;
};
const Alias kAliases[] = {{"FRY2X32", "FRY2X32"},
                          {"FRY2X64", "FRY2X64"},
                          {"FRY4X64", "FRY4X64"},
                          {"MH3", "MH3"},
                          {"MT", "MT64"},
                          {"MT1998", "MT1998"},
                          {"MT2002", "MT32"},
                          {"MT32", "MT32"},
                          {"MT64", "MT64"},
                          {"MTHYBRID", "MTHYBRID"},
                          {"PCG", "PCG64I"},
                          {"PCG32I", "PCG32I"},
                          {"PCG64I", "PCG64I"},
                          {"SUBKEY32", "SUBKEY32"},
                          {"SUBKEY64", "SUBKEY64"},
                          {"TF", "FRY4X64"},
                          {"TF2", "FRY2X64"},
                          {"TF4", "FRY4X64"},
                          {"THREEFRY", "FRY4X64"},
                          {"THREEFRY2X32", "FRY2X32"},
                          {"THREEFRY2X64", "FRY2X64"},
                          {"THREEFRY4X64", "FRY4X64"},
                          {"XOR64", "XOR64"},
                          {"XOR128", "XOR128"},
                          {"XOR1024", "XOR1024"},
                          {"XOR4096", "XOR4096"}};
const char* const kUnavailable[] = {"HARD", "HARDWARE", "RDRAND", "TRNG", "RANUNI", "XORGENS"};

const ZrngFill kAvailable[] = {&zrnfSUBKEY32, &zrnfSUBKEY64, &zrnfMT1998,  &zrnfMTHYBRID,
                               &zrnfMT32,     &zrnfMT64,     &zrnfMH3,     &zrnfXOR64,
                               &zrnfXOR128,   &zrnfXOR1024,  &zrnfXOR4096, &zrnfFRY2X32,
                               &zrnfFRY2X64,  &zrnfFRY4X64,  &zrnfPCG32I,  &zrnfPCG64I};

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

using Methods = RandomTest;

TEST_F(Methods, EveryAliasSelectsItsOwnMethod) {
  for (const Alias& a : kAliases) {
    std::string blank_lower = " ";
    blank_lower.append(lower(a.name)).append("  ");
    for (const std::string& name : {std::string(a.name), blank_lower}) {
      ZRNG_S q{};
      EXPECT_EQ(zrngmeth(name.c_str(), -1, &q, 0), 0) << name;
      EXPECT_STREQ(q.zrng_name, a.method) << name;
    }
  }
  for (const char* name : kUnavailable) {
    ZRNG_S q{};
    EXPECT_EQ(zrngmeth(name, -1, &q, 0), kMethodUnavailable) << name;
    EXPECT_STREQ(q.zrng_name, "MTHYBRID") << name;
  }
}

TEST_F(Methods, StreamsDrawTheirEnginesUniforms) {
  for (ZrngFill fill : kAvailable) {
    rt::Method engine(fill, 4321);
    const std::string name = engine.rng.zrng_name;
    auto q = rt::new_stream(4321, name.c_str());
    ASSERT_EQ(q->Status, 0) << name;
    ASSERT_EQ(q->Seed, 4321u) << name;
    const std::vector<double> first = rt::uniforms(q.get(), 50);
    for (double u : first) ASSERT_EQ(u, engine.rng.zrng_double_open(engine.area)) << name;
    zrand_rewind(q.get());
    EXPECT_EQ(rt::uniforms(q.get(), 50), first) << name;
  }
}

TEST_F(Methods, KeyedSubstreamsDifferAndRepeat) {
  for (ZrngFill fill : kAvailable) {
    ZRNG_S r{};
    fill(&r, 0);
    if (!(r.zrng_has & zrng_has::kKeys)) continue;
    auto q = rt::new_stream(77, r.zrng_name);
    auto draws = [&](std::uint64_t key) {
      ZRAND_S child{};
      ZRANMT area{};
      child.Blob = &area;
      zrand_clone(&child, key, q.get());
      std::vector<double> out(20);
      for (double& u : out) u = child.rangen(child.Blob);
      return out;
    };
    EXPECT_EQ(draws(1), draws(1)) << r.zrng_name;
    EXPECT_NE(draws(1), draws(2)) << r.zrng_name;
  }
}

// The subtract-key counters are left out: they step by a fixed amount.
TEST_F(Methods, UniformsPassTheKolmogorovSmirnovTest) {
  for (ZrngFill fill : kAvailable) {
    ZRNG_S r{};
    fill(&r, 0);
    if (std::string(r.zrng_name).starts_with("SUBKEY")) continue;
    auto q = rt::new_stream(2718, r.zrng_name);
    std::vector<double> u(20000);
    for (double& v : u) v = q->rangen(q->Blob);
    EXPECT_LT(dc::ks_statistic(u, [](double x) { return x; }), dc::kKolmogorov999) << r.zrng_name;
  }
}

}  // namespace
