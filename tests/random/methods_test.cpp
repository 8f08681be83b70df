// Method selection by name (aliases, case, blanks, unknown and unavailable
// names, the named default), and every available method running a stream:
// the stream's uniforms are its engine's, a rewind restarts them, and keyed
// substreams differ.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "random/hash_murmur3.h"
#include "random/method_descriptors.h"
#include "random/method_selection.h"
#include "random/status_codes.h"
#include "random_support.h"

namespace {

using namespace zrand_status;

// The names other than a method's own; each method's own name is read by
// every stream below.
const std::pair<const char*, const char*> kAliases[] = {{"MT", "MT64"},
                                                        {"MT2002", "MT32"},
                                                        {"PCG", "PCG64I"},
                                                        {"TF", "FRY4X64"},
                                                        {"TF2", "FRY2X64"},
                                                        {"TF4", "FRY4X64"},
                                                        {"THREEFRY", "FRY4X64"},
                                                        {"THREEFRY2X32", "FRY2X32"},
                                                        {"THREEFRY2X64", "FRY2X64"},
                                                        {"THREEFRY4X64", "FRY4X64"}};

const ZrngFill kAvailable[] = {&zrnfSUBKEY32, &zrnfSUBKEY64, &zrnfMT1998,  &zrnfMTHYBRID,
                               &zrnfMT32,     &zrnfMT64,     &zrnfMH3,     &zrnfXOR64,
                               &zrnfXOR128,   &zrnfXOR1024,  &zrnfXOR4096, &zrnfFRY2X32,
                               &zrnfFRY2X64,  &zrnfFRY4X64,  &zrnfPCG32I,  &zrnfPCG64I};

std::string selected(const char* name, int* status, std::uint64_t flags = 0) {
  ZRNG_S q{};
  *status = zrngmeth(name, -1, &q, flags);
  return q.zrng_name;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

using Methods = RandomTest;

TEST_F(Methods, AliasesAreCaseBlindAndUnknownNamesFallBack) {
  int status = -1;
  for (const auto& [name, method] : kAliases) {
    for (const std::string& form : {std::string(name), " " + lower(name) + "  "}) {
      EXPECT_EQ(selected(form.c_str(), &status), method) << form;
      EXPECT_EQ(status, 0) << form;
    }
  }
  EXPECT_EQ(selected("  mT64 ", &status), "MT64");
  const std::u32string wide = U" mt32 ";
  EXPECT_EQ(
      selected(reinterpret_cast<const char*>(wide.c_str()), &status, zrngmeth_flags::kWideName),
      "MT32");
  for (const char* name : {"ZZZ", "MT3", "MTHYBRIDMTHYBRID", "1998"}) {
    EXPECT_EQ(selected(name, &status), "MTHYBRID") << name;
    EXPECT_EQ(status, kUnknownMethod) << name;
  }
}

TEST_F(Methods, UnavailableMethodsFallBackAfterNamingTheirOwnRecord) {
  rt::set_text("OSENV.KOV_RNG_MESSAGES", "ALL");
  const std::pair<const char*, const char*> aliases[] = {
      {"RDRAND", "Intel RDRAND"}, {"HARDWARE", "Intel RDRAND"}, {"TRNG", "Intel RDRAND"},
      {"HARD", "Intel RDRAND"},   {"RANUNI", "RANUNI"},         {"XORGENS", "64-bit XORGENS*"}};
  for (const auto& [name, label] : aliases) {
    int status = 0;
    EXPECT_EQ(selected(name, &status), "MTHYBRID") << name;
    EXPECT_EQ(status, kMethodUnavailable) << name;
    EXPECT_NE(log_text().find(std::string("\"") + label + "\" is ready"), std::string::npos)
        << name;
  }
}

TEST_F(Methods, EmptyNameTakesTheNamedDefault) {
  int status = -1;
  EXPECT_EQ(selected("   ", &status), "MTHYBRID");
  EXPECT_EQ(status, 0);
  rt::set_text("OSENV.KOV_RNG_METHOD", "mt64");
  EXPECT_EQ(selected(nullptr, &status), "MT64");
  EXPECT_EQ(status, 0);
  auto q = rt::new_stream(0);  // the procedure's stream names no method
  EXPECT_STREQ(q->rng.zrng_name, "MT64");
  EXPECT_EQ(q->finalSeed, zmh3x64(q->Seed));
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

}  // namespace
