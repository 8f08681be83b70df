// The wide-character case tables against the Unicode case pairs.
#include <gtest/gtest.h>

#include <set>

#include "host/case_tables.h"
#include "host/wide_strings.h"

namespace {

// Rows of capitals whose small forms lie `delta` above, every `step` code
// points from `first` to `last`, skipping `except`.
struct Row { QXChar first, last; int step, delta; std::set<QXChar> except; };

TEST(CaseTables, DownShiftRowsOfEveryCoveredScript) {
  const Row rows[] = {
      {'A', 'Z', 1, 32, {}},         {'a', 'z', 1, 0, {}},           {0xC0, 0xDE, 1, 32, {0xD7}},
      {0x100, 0x12E, 2, 1, {}},      {0x200, 0x21E, 2, 1, {}},       {0x1E00, 0x1E94, 2, 1, {}},
      {0x391, 0x3AB, 1, 32, {0x3A2}}, {0x401, 0x40F, 1, 80, {0x40D}}, {0x410, 0x42F, 1, 32, {}},
      {0x531, 0x556, 1, 48, {}},     {0x10A0, 0x10C5, 1, 48, {}},    {0x2160, 0x216F, 1, 16, {}},
      {0x24B6, 0x24CF, 1, 26, {}},   {0xFF21, 0xFF3A, 1, 32, {}}};
  for (const Row& r : rows)
    for (QXChar c = r.first; c <= r.last; c += r.step)
      EXPECT_EQ(qxz_down_char(c), r.except.count(c) ? c : c + r.delta) << std::hex << "U+" << c;
  // Single pairs: sharp s has no capital, titlecase digraphs go to the small
  // form, Greek Extended is mostly -8 with a few far ones, and the far pairs
  // of Latin Extended-B and Greek.
  const QXChar pairs[][2] = {
      {0xDF, 0xDF},     {0x178, 0xFF},    {0x1C4, 0x1C6},   {0x1C5, 0x1C6},   {0x1C7, 0x1C9},
      {0x1C8, 0x1C9},   {0x1CA, 0x1CC},   {0x1CB, 0x1CC},   {0x1F1, 0x1F3},   {0x1F2, 0x1F3},
      {0x1F08, 0x1F00}, {0x1F88, 0x1F80}, {0x1FBA, 0x1F70}, {0x1FC8, 0x1F72}, {0x1FDA, 0x1F76},
      {0x1FEA, 0x1F7A}, {0x1FFA, 0x1F7C}, {0x1FEC, 0x1FE5}, {0x1FBC, 0x1FB3}, {0x181, 0x253},
      {0x186, 0x254},   {0x18A, 0x257},   {0x18E, 0x258},   {0x18F, 0x259},   {0x190, 0x25B},
      {0x193, 0x260},   {0x194, 0x263},   {0x196, 0x269},   {0x197, 0x268},   {0x19C, 0x26F},
      {0x19D, 0x272},   {0x1A9, 0x283},   {0x1AE, 0x288},   {0x1B1, 0x28A},   {0x1B2, 0x28B},
      {0x1B7, 0x292},   {0x1FF8, 0x1F78}, {0x1FF9, 0x1F79}};
  for (const auto& p : pairs) EXPECT_EQ(qxz_down_char(p[0]), p[1]) << std::hex << p[0];
}

TEST(CaseTables, UpShiftIsTheInverseWithoutGeorgian) {
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

}  // namespace
