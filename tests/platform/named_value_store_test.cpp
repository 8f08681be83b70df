// The kernel library's named-value store: types, conversions, the
// environment, and consistency under concurrent readers and writers.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/kernel/named_value_store.h"

namespace {

using platform::NamedValueStore;

QXStatus set_int(NamedValueStore& s, std::u32string_view name, std::int64_t v) {
  return s.set(name, true, NamedValueStore::kInteger, &v, 8);
}
QXStatus set_text(NamedValueStore& s, std::u32string_view name, std::u32string_view v) {
  return s.set(name, true, NamedValueStore::kText, v.data(), v.size() * 4);
}

TEST(NamedValueStore, NumbersConvertOnlyWhenExact) {
  NamedValueStore s;
  ASSERT_EQ(set_int(s, U"i", 1LL << 53), 0);
  double d = 0;
  QXMemSize size = 8;
  EXPECT_EQ(s.get(U"i", NamedValueStore::kDouble, &d, &size), 0);
  EXPECT_EQ(d, 9007199254740992.0);
  set_int(s, U"i", (1LL << 53) + 1);  // not exact as a double
  EXPECT_EQ(s.get(U"i", NamedValueStore::kDouble, &d, &size), kQXWrongType);
  const double half = 2.5, whole = -4.0;
  s.set(U"d", true, NamedValueStore::kDouble, &half, 8);
  std::int64_t i = 0;
  EXPECT_EQ(s.get(U"d", NamedValueStore::kInteger, &i, &size), kQXWrongType);
  s.set(U"d", true, NamedValueStore::kDouble, &whole, 8);
  EXPECT_EQ(s.get(U"d", NamedValueStore::kInteger, &i, &size), 0);
  EXPECT_EQ(i, -4);
}

TEST(NamedValueStore, TextAndNumbersKeepTheirKindUntilCleared) {
  NamedValueStore s;
  set_text(s, U"n", U"12");
  std::int64_t i = 0;
  QXMemSize size = 8;
  EXPECT_EQ(s.get(U"n", NamedValueStore::kInteger, &i, &size), kQXWrongType);
  EXPECT_EQ(set_int(s, U"n", 5), kQXWrongType);
  EXPECT_EQ(s.clear(U"n"), 0);
  EXPECT_EQ(s.clear(U"n"), kQXNameAbsent);
  EXPECT_EQ(set_int(s, U"n", 5), 0);
  EXPECT_EQ(s.set(U"new", false, NamedValueStore::kInteger, &i, 8), kQXNameAbsent);
}

TEST(NamedValueStore, MalformedRequestsAreRefused) {
  NamedValueStore s;
  std::int64_t i = 1;
  QXMemSize size = 4;
  EXPECT_EQ(s.set(U"", true, NamedValueStore::kInteger, &i, 8), kQXInvalidArgument);
  EXPECT_EQ(s.set(U"a", true, NamedValueStore::kInteger, &i, 4), kQXInvalidArgument);
  EXPECT_EQ(s.set(U"a", true, NamedValueStore::kText, &i, 6), kQXInvalidArgument);
  EXPECT_EQ(s.set(U"a", true, 9, &i, 8), kQXInvalidArgument);
  set_int(s, U"a", 1);
  EXPECT_EQ(s.get(U"a", NamedValueStore::kInteger, &i, &size), kQXInvalidArgument);  // 4 bytes
  EXPECT_EQ(s.get(U"a", NamedValueStore::kInteger, nullptr, &size), kQXInvalidArgument);
}

TEST(NamedValueStore, OsenvNamesReadTheEnvironment) {
  NamedValueStore s;
  ::setenv("RUVA_STORE_TEST", "caf\xc3\xa9", 1);
  char32_t text[8] = {};
  QXMemSize size = sizeof text;
  ASSERT_EQ(s.get(U"OSENV.RUVA_STORE_TEST", NamedValueStore::kText, text, &size), 0);
  EXPECT_EQ(std::u32string(text, size / 4), U"caf\u00e9");
  EXPECT_TRUE(s.exists(U"OSENV.RUVA_STORE_TEST"));
  ::unsetenv("RUVA_STORE_TEST");
  EXPECT_FALSE(s.exists(U"OSENV.RUVA_STORE_TEST"));
  EXPECT_FALSE(s.exists(U"OSENV."));
}

TEST(NamedValueStore, CommandLineTextsTakeTheNarrowestType) {
  EXPECT_EQ(platform::value_from_text("42").type, NamedValueStore::kInteger);
  EXPECT_EQ(platform::value_from_text("-1e3").type, NamedValueStore::kDouble);
  EXPECT_EQ(platform::value_from_text("inf").type, NamedValueStore::kText);
  EXPECT_EQ(platform::value_from_text("MT64").text, U"MT64");
  EXPECT_EQ(platform::value_from_text("99999999999999999999").type, NamedValueStore::kDouble);
}

// Writers store texts whose characters all equal their length; readers must
// never see a mixed or cut value. Integer counters only grow.
TEST(NamedValueStore, ConcurrentReadersAndWritersSeeWholeValues) {
  NamedValueStore s;
  constexpr int kWriters = 4, kReaders = 4, kRounds = 3000;
  std::atomic<bool> torn{false}, backwards{false};
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w)
    threads.emplace_back([&, w] {
      const std::u32string counter = U"count" + std::u32string(1, U'0' + w);
      for (int r = 1; r <= kRounds; ++r) {
        const int n = 1 + r % 40;
        set_text(s, U"shared", std::u32string(static_cast<std::size_t>(n), static_cast<char32_t>(U'A' + n)));
        set_int(s, counter, r);
      }
    });
  for (int k = 0; k < kReaders; ++k)
    threads.emplace_back([&] {
      std::int64_t last[kWriters] = {};
      for (int r = 0; r < kRounds; ++r) {
        char32_t text[64];
        QXMemSize size = sizeof text;
        if (s.get(U"shared", NamedValueStore::kText, text, &size) == 0 && size > 0) {
          const std::size_t n = size / 4;
          for (std::size_t j = 0; j < n; ++j)
            if (text[j] != static_cast<char32_t>(U'A' + n)) torn = true;
        }
        for (int w = 0; w < kWriters; ++w) {
          std::int64_t v = 0;
          QXMemSize sz = 8;
          const std::u32string counter = U"count" + std::u32string(1, U'0' + w);
          if (s.get(counter, NamedValueStore::kInteger, &v, &sz) == 0) {
            if (v < last[w]) backwards = true;
            last[w] = v;
          }
        }
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_FALSE(torn);
  EXPECT_FALSE(backwards);
  std::int64_t v = 0;
  QXMemSize sz = 8;
  EXPECT_EQ(s.get(U"count0", NamedValueStore::kInteger, &v, &sz), 0);
  EXPECT_EQ(v, kRounds);
}

}  // namespace
