// Case mapping and case-blind comparison of wide strings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/kernel_handle.h"
#include "host/wide_strings.h"
#include "platform/utf8.h"
#include "support/host_fixture.h"

namespace {

using W = std::vector<QXChar>;

W wide(const std::string& utf8) {
  const std::u32string w = platform::from_utf8(utf8);
  return W(w.begin(), w.end());
}

QXStrSize len(const W& w) { return static_cast<QXStrSize>(w.size()); }

W lowered(const std::string& s) {
  W w = wide(s);
  qxzstlo(w.data(), len(w));
  return w;
}

W uppered(const std::string& s) {
  W w = wide(s);
  qxzstup(w.data(), len(w));
  return w;
}

int compare(const std::string& a, const std::string& b) {
  W x = wide(a), y = wide(b);
  return qxzsncmp(x.data(), len(x), y.data(), len(y));
}

bool equal(const std::string& a, const std::string& b) {
  W x = wide(a), y = wide(b);
  return qxzseqn(x.data(), len(x), y.data(), len(y)) == 1;
}

TEST(WideCase, StringsChangeCaseInPlace) {
  EXPECT_EQ(lowered("Ärger ΣΟΦΙΑ Москва Ⅻ Ⓐ"), wide("ärger σοφια москва ⅻ ⓐ"));
  EXPECT_EQ(uppered("ärger σοφια москва ⅻ ⓐ ﬀ"), wide("ÄRGER ΣΟΦΙΑ МОСКВА Ⅻ Ⓐ ﬀ"));
  EXPECT_EQ(uppered("ſ"), wide("S"));
  W w = wide("ABC");
  qxzstlo(w.data(), 2);
  EXPECT_EQ(w, wide("abC"));
  qxzstlo(w.data(), 0);
  qxzstup(w.data(), -1);
  EXPECT_EQ(w, wide("abC"));
  qxzstlo(nullptr, 4);
}

TEST(WideCase, MinAndMaxMapStrings) {
  // E-acute, c, chi (Latin Extended-E / D), Cherokee A, Georgian an.
  W w = {0xC9, 'c', 0xAB53, 0x13A0, 0x10D0, ' '};
  qxzstmin(w.data(), len(w));
  EXPECT_EQ(w, (W{0xC9, 'C', 0xA7B3, 0x13A0, 0x10D0, ' '}));
  qxzstmax(w.data(), len(w));
  EXPECT_EQ(w, (W{0xE9, 'c', 0xAB53, 0xAB70, 0x1C90, ' '}));
}

TEST(WideCase, EqualityNeedsEqualLengths) {
  EXPECT_FALSE(equal("Straße", "STRASSE"));
  EXPECT_TRUE(equal("Straße", "STRAßE"));
  EXPECT_TRUE(equal("ΣΟΦΙΑ", "σοφια"));
  EXPECT_FALSE(equal("qxprof", "qxprog"));
  EXPECT_FALSE(equal("abc", "abc "));
  EXPECT_TRUE(qxzseqn(nullptr, 0, nullptr, 0));
}

TEST(WideCase, ComparisonRanksCaseBelowContent) {
  EXPECT_EQ(compare("abc", "ABC  "), 1);
  EXPECT_EQ(compare("abd", "ABC"), 2);
  EXPECT_EQ(compare("ab", "abc"), -2);
  EXPECT_EQ(compare("Ab", "aB"), -1);  // the first case difference decides
  EXPECT_EQ(compare("abc  ", "abc"), 0);
  EXPECT_EQ(compare("abc x", "abc"), 2);
  EXPECT_EQ(compare("", "   "), 0);
  EXPECT_EQ(compare("Ab", "ac"), -2);  // content outranks the earlier case tie
  EXPECT_EQ(compare("Ω", "ω"), -1);
  EXPECT_EQ(qxzsncmp(nullptr, 3, nullptr, 0), 0);
}

TEST(WideCase, TrailingBlanksAreTrimmed) {
  W w = wide("ab \t  ");
  EXPECT_EQ(qxzstrp(w.data(), len(w)), 4);  // a tab is not a blank
  EXPECT_EQ(qxzstrp(wide("    ").data(), 4), 0);
  EXPECT_EQ(qxzstrp(w.data(), -5), 0);
  EXPECT_EQ(qxzstrp(nullptr, 5), 0);
}

// A national-language extension that marks what it maps.
int g_lower_calls = 0;
QXChar fake_lower(QXNLSh, QXChar c, int count) {
  EXPECT_EQ(count, 1);
  ++g_lower_calls;
  return c + 1000;
}
QXChar fake_upper(QXNLSh, QXChar c, int) { return -c; }

using WideCaseWithExtension = HostTest;

TEST_F(WideCaseWithExtension, CharactersAboveAsciiGoThroughTheExtension) {
  QX_NLS_S nls{};
  nls.charLower = &fake_lower;
  nls.charUpper = &fake_upper;
  auto* handle = static_cast<QX_HNDL_S*>(host().qx_handle_area());
  QXNLSh saved = handle->qxnls;
  handle->qxnls = &nls;
  g_lower_calls = 0;
  W w = wide("AÉ");
  qxzstlo(w.data(), len(w));
  EXPECT_EQ(w, (W{'a', 0xC9 + 1000}));
  EXPECT_EQ(g_lower_calls, 1);
  W u = wide("aé");
  qxzstup(u.data(), len(u));
  EXPECT_EQ(u, (W{'A', -0xE9}));
  // Without the extension the tables serve every character.
  handle->qxnls = nullptr;
  EXPECT_EQ(lowered("AÉ"), wide("aé"));
  handle->qxnls = saved;
}

// The kernel's own extension maps by Unicode, beyond the tables' plane
// too (Deseret), and leaves what is not a character alone.
TEST_F(WideCaseWithExtension, TheKernelsOwnExtensionMapsByUnicode) {
  ASSERT_NE(static_cast<QX_HNDL_S*>(host().qx_handle_area())->qxnls, nullptr);
  EXPECT_EQ(uppered("ärger σοφια москва \U00010428"), wide("ÄRGER ΣΟΦΙΑ МОСКВА \U00010400"));
  EXPECT_EQ(lowered("ÄRGER ΣΟΦΙΑ МОСКВА \U00010400"), wide("ärger σοφια москва \U00010428"));
  W odd = {-5, 0x110000};
  qxzstup(odd.data(), len(odd));
  EXPECT_EQ(odd, (W{-5, 0x110000}));
  QXNLSh nls = static_cast<QX_HNDL_S*>(host().qx_handle_area())->qxnls;
  nls->generic.destroy(nls);  // the kernel owns its extension: it stays
  EXPECT_EQ(uppered("\u00e9"), wide("\u00c9"));
}

}  // namespace
