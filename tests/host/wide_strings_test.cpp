// Byte and wide-character routines of the kernel library.
#include <gtest/gtest.h>

#include <string>

#include "host/wide_strings.h"

namespace {

TEST(KernelStrings, LengthsCopiesAndCaseOfNullAndNonAsciiText) {
  EXPECT_EQ(skUnsup(), kQXNotSupported);
  EXPECT_EQ(skStrLen("abc"), 3u);
  EXPECT_EQ(skStrLen(nullptr), 0u);
  const QXChar hello[] = {'h', 'e', 'l', 'l', 'o', 0};
  EXPECT_EQ(skStrTLen(hello), 5);
  EXPECT_EQ(skStrTLen(nullptr), 0);
  char dst[8] = "xxxxxxx";
  skStrCpy("ab", dst);
  EXPECT_STREQ(dst, "ab");
  skStrCpy(nullptr, dst);
  EXPECT_STREQ(dst, "");
  skStrCpy("ab", nullptr);  // nothing happens
  QXChar wdst[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  skStrTCpy(hello, wdst);
  EXPECT_EQ(skWMemCmp(hello, wdst, 6), 0);
  skStrTCpy(nullptr, wdst);
  EXPECT_EQ(wdst[0], 0);
  char text[] = "Mixed 1-2 \xE9z";
  skStrUp(text, sizeof text - 1);
  EXPECT_STREQ(text, "MIXED 1-2 \xE9Z");  // only ASCII letters change
  skStrLow(text, 5);
  EXPECT_STREQ(text, "mixed 1-2 \xE9Z");
}

TEST(KernelStrings, AllEqualTestsAndFills) {
  const QXChar with_x[] = {32, 32, 'x'};
  EXPECT_EQ(skMemTNot(32, with_x, 3), 0);
  EXPECT_EQ(skMemTNot(32, with_x, 2), 1);
  EXPECT_EQ(skMemNot(' ', "  x", 3), 0);
  EXPECT_EQ(skMemNot(' ', "x", 0), 1);
  EXPECT_EQ(skMemNot(static_cast<signed char>(0xFF), "\xFF\xFF", 2), 1);
  char bytes[6] = "abcde";
  skMemSet(bytes + 1, '-', 3);
  EXPECT_STREQ(bytes, "a---e");
  QXChar chars[4] = {1, 2, 3, 4};
  skMemTSet(chars, 0x1F600, 3);
  EXPECT_EQ(chars[2], 0x1F600);
  EXPECT_EQ(chars[3], 4);
}

TEST(KernelStrings, ComparisonsAreThreeWay) {
  EXPECT_EQ(skMemCmp("abc", "abd", 3), -1);
  EXPECT_EQ(skMemCmp("abd", "abc", 3), 1);
  EXPECT_EQ(skMemCmp("abc", "xyz", 0), 0);
  EXPECT_EQ(skMemCmp("\xE9", "z", 1), 1);  // bytes compare unsigned: 0xE9 is above 'z'
  // Characters compare signed: a negative character is below every other.
  const QXChar a[] = {65, -1}, b[] = {65, 66};
  EXPECT_EQ(skWMemCmp(a, b, 2), -1);
  EXPECT_EQ(skWMemCmp(b, a, 2), 1);
  EXPECT_EQ(skWMemCmp(a, b, 1), 0);
}

TEST(KernelStrings, CopiesHandleOverlapBothWays) {
  char forward[] = "0123456789";
  skMemCpy("abc", forward, 3);
  EXPECT_STREQ(forward, "abc3456789");
  char right[] = "0123456789";
  skMemSCpy(right, right + 2, 6);  // destination inside the source: copied backwards
  EXPECT_STREQ(right, "0101234589");
  char left[] = "0123456789";
  skMemSCpy(left + 2, left, 6);
  EXPECT_STREQ(left, "2345676789");
}

// A pool whose allocate entry records its flags and can be made to fail.
std::uint32_t g_alloc_flags = 99;
bool g_alloc_fails = false;
unsigned char g_block[16];
void* fake_alloc(QXPOOL_S*, QXMemSize, std::uint32_t flags) {
  g_alloc_flags = flags;
  return g_alloc_fails ? nullptr : g_block;
}

TEST(KernelStrings, DuplicateComesFromThePoolsAllocateEntry) {
  QXPOOL_S pool{};
  pool.memAlloc = &fake_alloc;
  auto* copy = static_cast<char*>(skMemDup("hello", 5, &pool));
  ASSERT_EQ(copy, reinterpret_cast<char*>(g_block));
  EXPECT_EQ(std::string(copy, 5), "hello");
  EXPECT_EQ(g_alloc_flags, 0u);
  EXPECT_EQ(skMemDup("hello", 5, nullptr), nullptr);
  EXPECT_EQ(skMemDup(nullptr, 5, &pool), nullptr);
  g_alloc_fails = true;
  EXPECT_EQ(skMemDup("hello", 5, &pool), nullptr);
}

TEST(KernelStrings, ScansReturnAllOnesWhenNothingIsFound) {
  const QXMemSize none = ~QXMemSize{0};
  EXPECT_EQ(skMemScan("abcabc", 6, 'c'), 2u);
  EXPECT_EQ(skMemScan("abcabc", 2, 'c'), none);
  EXPECT_EQ(skMemScan("abc", 0, 'a'), none);  // an empty range: not 0
  EXPECT_EQ(skMemScan(nullptr, 3, 'a'), none);
  EXPECT_EQ(skMemScan("a\xE9", 2, 0xE9), 1u);
  EXPECT_EQ(skMemNScan("   x ", 5, ' '), 3u);
  EXPECT_EQ(skMemNScan("     ", 5, ' '), none);
  const QXChar w[] = {32, 32, 0x3A3, 32};
  EXPECT_EQ(skMemTNScan(w, 4, 32), 2u);
  EXPECT_EQ(skMemTNScan(nullptr, 4, 32), none);
}

}  // namespace
