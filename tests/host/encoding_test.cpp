// Encoding conversions, Unicode escapes and the session encoding, checked
// against snprintf and against iconv used directly as the reference.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "host/encoding_convert.h"
#include "host/globals.h"
#include "host/named_values.h"
#include "host/narrow_strings.h"
#include "host/kernel_handle.h"
#include "host/kernel_text_literals.h"
#include "host/services.h"
#include "host/session_encoding.h"
#include "support/host_fixture.h"

namespace {

// The reference: iconv from `encoding` to native UTF-32.
std::u32string iconv_to_wide(const std::string& bytes, const char* encoding) {
  iconv_t cd = iconv_open("UTF-32LE", encoding);
  std::u32string out(bytes.size(), 0);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inL = bytes.size(), outL = out.size() * 4;
  char* op = reinterpret_cast<char*>(out.data());
  iconv(cd, &in, &inL, &op, &outL);
  iconv_close(cd);
  out.resize(out.size() - outL / 4);
  return out;
}

std::u32string session_to_wide(const std::string& bytes) {
  std::vector<QXChar> out(bytes.size() + 1, -1);
  const QXStrSize n = zCharToQXChar(bytes.data(), out.data(), static_cast<QXStrSize>(bytes.size()));
  return {reinterpret_cast<char32_t*>(out.data()), static_cast<std::size_t>(n)};
}

using EncodingTest = HostTest;

TEST_F(EncodingTest, UnicodeEscapeMatchesSnprintf) {
  std::array<unsigned char, 256> identity{};
  for (int i = 0; i < 256; ++i) identity[i] = static_cast<unsigned char>(i);
  std::mt19937 gen(3);
  std::vector<QXChar> points = {0, 0x41, 0xE9, 0xFFFF, 0x10000, 0x1F600, 0x10FFFF};
  for (int i = 0; i < 300; ++i) points.push_back(static_cast<QXChar>(gen() % 0x110000));
  for (QXChar c : points) {
    char expected[16], got[16] = {};
    if (c > 0xFFFF) std::snprintf(expected, sizeof expected, "\\U%08X", static_cast<unsigned>(c));
    else std::snprintf(expected, sizeof expected, "\\u%04X", static_cast<unsigned>(c));
    QXStrSize written = -1;
    ASSERT_EQ(putUESC(got, 10, c, identity.data(), &written), 0);
    EXPECT_EQ(std::string(got, static_cast<std::size_t>(written)), expected);
  }
}

TEST_F(EncodingTest, UnicodeEscapePassesEveryByteThroughTheTable) {
  std::array<unsigned char, 256> lower{};  // maps ASCII upper case to lower case
  for (int i = 0; i < 256; ++i) lower[i] = static_cast<unsigned char>(std::tolower(i));
  char got[10];
  QXStrSize n = 0;
  ASSERT_EQ(putUESC(got, 10, 0x1F60A, lower.data(), &n), 0);
  EXPECT_EQ(std::string(got, 10), "\\u0001f60a");
  EXPECT_EQ(putUESC(got, 9, 0x10000, lower.data(), &n), kQXBufferTooSmall);
  EXPECT_EQ(putUESC(got, 10, 0x110000, lower.data(), &n), kQXNoRepresentation);
  EXPECT_EQ(n, 0);
}

TEST_F(EncodingTest, NarrowingReportsSubstitutionAndTruncation) {
  const QXChar text[] = {0x41, 0x100, 0x42};
  char out[4] = {};
  QXStrSize n = 0;
  EXPECT_EQ(QXChar2ASCII(text, 3, out, 2, &n), kQXNoRepresentation);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(out[0], 'A');
  EXPECT_EQ(out[1], 26);
  const QXChar plain[] = {0x41, 0xE9, 0x42};
  EXPECT_EQ(QXChar2Compiler(plain, 3, out, 2, &n), kQXBufferTooSmall);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(QXChar2Compiler(plain, 3, out, 3, &n), 0);
  EXPECT_EQ(static_cast<unsigned char>(out[1]), 0xE9);
  QXChar wide[2];
  EXPECT_EQ(Compiler2QXChar("abc", 3, wide, 2, &n), 1);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(Compiler2QXChar("\xff", 1, wide, 2, &n), 0);
  EXPECT_EQ(wide[0], 0xFF);
}

TEST_F(EncodingTest, AsciiPrefixAgreesWithAByteScanOnLongText) {
  std::string text(1000, 'a');
  EXPECT_EQ(NLSASCIIStrLen("abc\xc3\xa9", 5, 10), 3);
  for (std::size_t stop : {0u, 7u, 300u, 517u, 999u}) {
    std::string t = text;
    t[stop] = '\x80';
    for (std::size_t offset : {0u, 1u, 5u}) {
      const char* p = t.data() + offset;
      const auto l = static_cast<QXStrSize>(t.size() - offset);
      const auto expected = static_cast<QXStrSize>(stop >= offset ? stop - offset : 0);
      EXPECT_EQ(NLSASCIIStrLen(p, l, l), stop >= offset ? expected : l) << stop << " " << offset;
    }
  }
  EXPECT_EQ(NLSASCIIStrLen(text.data(), 1000, 600), 600);
}

TEST_F(EncodingTest, SessionTextMatchesIconvInUtf8AndLatin1) {
  const std::string utf8 = "na\xc3\xafve \xe2\x82\xac \xf0\x9f\x98\x80 end";
  EXPECT_EQ(zSessCei(), U_UTF8_CE);
  EXPECT_EQ(session_to_wide(utf8), iconv_to_wide(utf8, "UTF-8"));
  ASSERT_EQ(zsknls(U_LATIN1_CE), 0);
  EXPECT_EQ(zSessCei(), U_LATIN1_CE);
  std::string latin1;
  for (int b = 1; b < 256; ++b) latin1 += static_cast<char>(b);
  EXPECT_EQ(session_to_wide(latin1), iconv_to_wide(latin1, "ISO-8859-1"));
  EXPECT_EQ(zCharToQXChar("x", nullptr, 0), 0);
  EXPECT_EQ(log_text(), "");
}

TEST_F(EncodingTest, SwitchingRecordsTheEncodingAndKeepsTheSessionOnFailure) {
  QXNLSPipelineh to = zSessToQXChar();
  EXPECT_EQ(zsknls(U_UTF8_CE), 0);  // the current encoding: nothing changes
  EXPECT_EQ(zSessToQXChar(), to);
  EXPECT_EQ(qxnrlget(qx_text(U"QXNLS.PLW_SESSION_CEI"), 0, -1), -1);
  ASSERT_EQ(zsknls(U_ASCII_CE), 0);
  EXPECT_EQ(qxnrlget(qx_text(U"QXNLS.PLW_SESSION_CEI"), 0, -1), U_ASCII_CE);
  QXNLSPipelineh ascii = zSessToQXChar();
  EXPECT_NE(zsknls(777), 0);  // no such encoding
  EXPECT_EQ(zSessCei(), U_ASCII_CE);
  EXPECT_EQ(zSessToQXChar(), ascii);
  EXPECT_NE(log_text().find("ERROR: A required locale, extension"), std::string::npos);
}

TEST_F(EncodingTest, BadBytesAreSubstitutedAndJournalled) {
  EXPECT_EQ(session_to_wide("a\xff" "b"), U"a\uFFFDb");
  EXPECT_NE(log_text().find("no representation in the target encoding"), std::string::npos);
  // Without a pipeline nothing is converted, and the failure is journalled.
  SKNLS_S* s = Exported_QXHandle->sknls_global;
  QXNLSPipelineh saved = s->SessToQXChar;
  s->SessToQXChar = nullptr;
  QXChar out[4];
  EXPECT_EQ(zCharToQXChar("abc", out, 3), 0);
  s->SessToQXChar = saved;
  // Nor the other way.
  saved = s->SessFromQXChar;
  s->SessFromQXChar = nullptr;
  char bytes[4] = "---";
  EXPECT_EQ(zQXCharToSess(qx_text(U"abc"), 3, bytes, 3), 0);
  EXPECT_STREQ(bytes, "---");
  s->SessFromQXChar = saved;
  EXPECT_NE(log_text().find("ERROR: A required locale, extension or kernel handle is not available."),
            std::string::npos);
}

TEST_F(EncodingTest, PipelinesReportShortOutputAndUnrepresentableCharacters) {
  QXNLSh nls = Exported_QXHandle->qxnls;
  QXNLSPipelineh to_ascii = nls->pipelineFromQXChar(nls, U_ASCII_CE, 0, nullptr);
  const char32_t text[] = U"caf\u00e9!";
  char out[8] = {};
  QXMemSize used = 0;
  EXPECT_EQ(to_ascii->Transcode(to_ascii, text, 5 * 4, out, 8, &used, 0), kQXNoRepresentation);
  EXPECT_EQ(std::string(out, used), "caf\x1a!");
  EXPECT_EQ(to_ascii->Transcode(to_ascii, text, 5 * 4, out, 3, &used, 0), kQXBufferTooSmall);
  EXPECT_EQ(used, 3u);
  to_ascii->generic.destroy(to_ascii);
  EXPECT_EQ(nls->pipelineToQXChar(nls, 1234, 0, nullptr), nullptr);
}

TEST_F(EncodingTest, HostCodePageServicesConvertThroughTheSession) {
  char out[6];
  ASSERT_EQ(wzsxcch("\xc3\xa9t\xc3\xa9", 5, out, 6, 1), 0);
  EXPECT_EQ(std::string(out, 6), "\xe9t\xe9   ");
  char back[6];
  EXPECT_EQ(wzsxrch("\xe9t\xe9", 3, back, 5, 1), 0);
  EXPECT_EQ(std::string(back, 5), "\xc3\xa9t\xc3\xa9");
  EXPECT_EQ(wzsxrch("\xe9t\xe9", 3, back, 4, 1), kQXBufferTooSmall);
  EXPECT_EQ(std::string(back, 4), "\xc3\xa9t ");  // cut at a whole character
  // In national-language mode, translation codes 0 and 1 go through them.
  signed char mode = 1;
  HostWord record[4] = {0, 0, 0, reinterpret_cast<HostWord>(&mode)};
  host().control_block()[gcb::kNlsRecord] = reinterpret_cast<HostWord>(record);
  char text[] = "\xc3\xa9";
  EXPECT_EQ(wztxxlt(0, text, text, 2), 0);
  EXPECT_EQ(std::string(text, 2), "\xe9 ");
  host().control_block()[gcb::kNlsRecord] = 0;
}

}  // namespace
