// The wide-character case tables against the rows they are defined by.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "host/case_tables.h"
#include "host/wide_strings.h"

namespace {

const std::set<QXChar> kCoveredBlocks = {0x0000, 0x0080, 0x0100, 0x0180, 0x0200, 0x0280, 0x0380,
                                         0x0400, 0x0480, 0x0500, 0x0580, 0x1080, 0x1E00, 0x1E80,
                                         0x1F00, 0x1F80, 0x2100, 0x2480, 0xFF00};

// Expects down(c) == c + delta for c in [first, last], skipping `except`.
void expect_down_range(QXChar first, QXChar last, int delta, std::set<QXChar> except = {}) {
  for (QXChar c = first; c <= last; ++c) {
    const QXChar expected = except.count(c) ? c : c + delta;
    EXPECT_EQ(qxz_down_char(c), expected) << std::hex << "U+" << c;
  }
}

TEST(CaseTables, ExactlyTheNineteenBlocksHaveShiftEntries) {
  std::set<int> starts;
  for (int block = 0; block < 512; ++block) {
    const int meta = skz_metatable[block];
    EXPECT_EQ(meta >= 0, kCoveredBlocks.count(block << 7) == 1) << std::hex << (block << 7);
    if (meta >= 0) {
      EXPECT_EQ(meta % 128, 0);
      EXPECT_LT(meta, 2432);
      starts.insert(meta);
    }
  }
  EXPECT_EQ(starts.size(), 19u);  // no two blocks share deltas
  // Nothing outside the covered blocks changes, in either direction.
  for (QXChar c = 0; c < 0x10000; ++c) {
    if (kCoveredBlocks.count(c & ~127)) continue;
    ASSERT_EQ(qxz_down_char(c), c) << std::hex << c;
    ASSERT_EQ(qxz_up_char(c), c) << std::hex << c;
  }
}

TEST(CaseTables, DownShiftRowsOfLatinGreekAndCyrillic) {
  expect_down_range('A', 'Z', 32);
  expect_down_range('a', 'z', 0);
  expect_down_range(0xC0, 0xDE, 32, {0xD7});
  EXPECT_EQ(qxz_down_char(0xDF), 0xDF);
  EXPECT_EQ(qxz_down_char(0x178), 0xFF);
  for (QXChar c = 0x100; c < 0x130; c += 2) EXPECT_EQ(qxz_down_char(c), c + 1) << std::hex << c;
  for (QXChar c = 0x200; c < 0x220; c += 2) EXPECT_EQ(qxz_down_char(c), c + 1) << std::hex << c;
  for (QXChar c = 0x1E00; c < 0x1E96; c += 2) EXPECT_EQ(qxz_down_char(c), c + 1) << std::hex << c;
  // Titlecase digraphs go to the small form.
  const QXChar digraphs[][2] = {{0x1C4, 0x1C6}, {0x1C5, 0x1C6}, {0x1C7, 0x1C9}, {0x1C8, 0x1C9},
                                {0x1CA, 0x1CC}, {0x1CB, 0x1CC}, {0x1F1, 0x1F3}, {0x1F2, 0x1F3}};
  for (const auto& d : digraphs) EXPECT_EQ(qxz_down_char(d[0]), d[1]) << std::hex << d[0];
  expect_down_range(0x391, 0x3AB, 32, {0x3A2});
  expect_down_range(0x401, 0x40F, 80, {0x40D});
  expect_down_range(0x410, 0x42F, 32);
  expect_down_range(0x531, 0x556, 48);
}

TEST(CaseTables, DownShiftRowsOfOtherScripts) {
  expect_down_range(0x10A0, 0x10C5, 48);
  expect_down_range(0x2160, 0x216F, 16);
  expect_down_range(0x24B6, 0x24CF, 26);
  expect_down_range(0xFF21, 0xFF3A, 32);
  // Greek Extended: mostly -8, a few far ones, two through the aux list.
  EXPECT_EQ(qxz_down_char(0x1F08), 0x1F00);
  EXPECT_EQ(qxz_down_char(0x1F88), 0x1F80);
  const QXChar far[][2] = {{0x1FBA, 0x1F70}, {0x1FC8, 0x1F72}, {0x1FDA, 0x1F76}, {0x1FEA, 0x1F7A},
                           {0x1FFA, 0x1F7C}, {0x1FEC, 0x1FE5}, {0x1FBC, 0x1FB3}, {0x1FF8, 0x1F78},
                           {0x1FF9, 0x1F79}};
  for (const auto& f : far) EXPECT_EQ(qxz_down_char(f[0]), f[1]) << std::hex << f[0];
  const std::set<int> greek_deltas = {0, -7, -8, -9, -74, -86, -100, -112, -126, -128};
  for (QXChar c = 0x1F00; c < 0x2000; ++c)
    EXPECT_TRUE(greek_deltas.count(qxz_down_char(c) - c)) << std::hex << c;
}

TEST(CaseTables, AuxListsHoldTheFarPairs) {
  const std::vector<QXChar> down = {
      0x181, 0x253, 0x186, 0x254, 0x18A, 0x257, 0x18E, 0x258, 0x18F, 0x259, 0x190, 0x25B,
      0x193, 0x260, 0x194, 0x263, 0x196, 0x269, 0x197, 0x268, 0x19C, 0x26F, 0x19D, 0x272,
      0x1A9, 0x283, 0x1AE, 0x288, 0x1B1, 0x28A, 0x1B2, 0x28B, 0x1B7, 0x292, 0x1FF8, 0x1F78,
      0x1FF9, 0x1F79, 0};
  EXPECT_EQ(std::vector<QXChar>(skz_downaux, skz_downaux + down.size()), down);
  std::vector<QXChar> up = {0x17F, 0x53};
  for (std::size_t i = 0; i + 1 < down.size(); i += 2) up.insert(up.end(), {down[i + 1], down[i]});
  up.push_back(0);
  EXPECT_EQ(std::vector<QXChar>(skz_upaux, skz_upaux + up.size()), up);
  // Every pair is reached through its table.
  for (std::size_t i = 0; i + 1 < down.size(); i += 2) {
    EXPECT_EQ(qxz_down_char(down[i]), down[i + 1]) << std::hex << down[i];
    EXPECT_EQ(qxz_up_char(down[i + 1]), down[i]) << std::hex << down[i + 1];
  }
}

TEST(CaseTables, UpShiftIsTheInverseWithoutGeorgian) {
  for (QXChar c = 'a'; c <= 'z'; ++c) EXPECT_EQ(qxz_up_char(c), c - 32);
  EXPECT_EQ(qxz_up_char(0xFF), 0x178);
  EXPECT_EQ(qxz_up_char(0x17F), 0x53);
  EXPECT_EQ(qxz_up_char(0xDF), 0xDF);
  EXPECT_EQ(qxz_up_char(0x1C6), 0x1C4);
  for (QXChar c = 0x10D0; c <= 0x10F5; ++c) EXPECT_EQ(qxz_up_char(c), c) << std::hex << c;
  // Every other down shift is undone by the up shift, except where two
  // characters share a small form (titlecase digraphs, theta symbol).
  const std::set<QXChar> shared = {0x1C5, 0x1C8, 0x1CB, 0x1F2, 0x3F4};
  for (QXChar c = 0; c < 0x10000; ++c) {
    const QXChar d = qxz_down_char(c);
    if (d == c || shared.count(c) || (c >= 0x10A0 && c <= 0x10C5)) continue;
    EXPECT_EQ(qxz_up_char(d), c) << std::hex << c;
  }
}

TEST(CaseTables, CharactersOutsideTheTablesStay) {
  for (QXChar c : {0x10000, 0x10400, 0x10FFFF, -1, -128, 0x7FFFFFFF}) {
    EXPECT_EQ(qxz_down_char(c), c);
    EXPECT_EQ(qxz_up_char(c), c);
    EXPECT_EQ(qxz_min_char(c), c);
    EXPECT_EQ(qxz_max_char(c), c);
  }
}

TEST(CaseTables, MinAndMaxMapsPickAMemberOfTheCasePair) {
  const QXChar pairs[][2] = {{0x41, 0x61},     {0xC9, 0xE9},     {0x3A3, 0x3C3},
                             {0x13A0, 0xAB70}, {0x10D0, 0x1C90}, {0x2C60, 0x2C61},
                             {0xA640, 0xA641}, {0xA722, 0xA723}, {0xA7B3, 0xAB53},
                             {0xFF21, 0xFF41}, {0xFF, 0x178}};  // by code point, not by case
  for (const auto& p : pairs) {
    for (QXChar c : {p[0], p[1]}) {
      EXPECT_EQ(qxz_min_char(c), p[0]) << std::hex << c;
      EXPECT_EQ(qxz_max_char(c), p[1]) << std::hex << c;
    }
  }
  int changed_min = 0, changed_max = 0;
  for (QXChar c = 0; c < 0x10000; ++c) {
    const QXChar lo = qxz_min_char(c), hi = qxz_max_char(c);
    changed_min += lo != c;
    changed_max += hi != c;
    ASSERT_LE(lo, c);
    ASSERT_GE(hi, c);
    // The two members of a pair map onto each other.
    ASSERT_EQ(qxz_max_char(lo), hi) << std::hex << c;
    ASSERT_EQ(qxz_min_char(hi), lo) << std::hex << c;
  }
  // Every pair changes one member in each map.
  EXPECT_EQ(changed_min, changed_max);
  EXPECT_GT(changed_min, 1000);
  EXPECT_LT(changed_min, 1300);
}

TEST(CaseTables, NarrowCodePageIsLatin1) {
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(c2qx[b], b);
    EXPECT_EQ(u2c[b], b);
  }
}

}  // namespace
