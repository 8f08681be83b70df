// Journals and message formatting: wide printf formats checked against
// snprintf, catalogue texts of statuses, capture and render, the kernel
// handle the format-information forms choose, and loading extensions by
// name.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host/globals.h"
#include "host/message_format.h"
#include "host/pool.h"
#include "host/kernel_handle.h"
#include "host/kernel_journal_messages.h"
#include "host/kernel_requests.h"
#include "host/kernel_text_literals.h"
#include "platform/kernel/kernel_library.h"
#include "platform/utf8.h"
#include "support/host_fixture.h"

namespace {

std::string narrow(const QXChar* text, QXStrSize n) { return platform::to_utf8(text, n); }

// Formats with the journal and with snprintf (the same directive in its
// narrow form); both must agree.
template <class... Args>
void expect_like_snprintf(const char32_t* wide_fmt, const char* narrow_fmt, Args... args) {
  QXChar out[128];
  QXStrSize n = -1;
  ASSERT_EQ(qxlMessageToBuf(qx_default_journal(), qx_text(wide_fmt), 0, out, 128, &n, args...), 0);
  char expected[128];
  std::snprintf(expected, sizeof expected, narrow_fmt, args...);
  EXPECT_EQ(narrow(out, n), expected) << narrow_fmt;
}

using JournalTest = HostTest;
int g_seen_marker;

TEST_F(JournalTest, NumericDirectivesFormatLikeSnprintf) {
  expect_like_snprintf(U"%d|%5i|%-5d|%+d|%05d", "%d|%5i|%-5d|%+d|%05d", 42, -7, 3, 9, -12);
  expect_like_snprintf(U"%lli %llx %lu", "%lli %llx %lu", -9007199254740992LL, 0xABCDEFULL, 77UL);
  expect_like_snprintf(U"%20g|%.3f|%e|%G", "%20g|%.3f|%e|%G", 1.5e-7, 3.14159, 6.02e23, 1e300);
  expect_like_snprintf(U"%*d|%-*d|%.*f", "%*d|%-*d|%.*f", 6, 12, 4, 5, 2, 2.71828);
  expect_like_snprintf(U"%hhd %hd %#o %X %%", "%hhd %hd %#o %X %%", 300, 70000, 8, 255u);
  expect_like_snprintf(U"%ld %jd %zd %td", "%ld %jd %zd %td", -5L, std::intmax_t{-6}, std::ptrdiff_t{7},
                       std::ptrdiff_t{-8});
  expect_like_snprintf(U"%ju %zu %tx %p", "%ju %zu %tx %p", std::uintmax_t{9}, std::size_t{10}, std::ptrdiff_t{255},
                       static_cast<void*>(&g_seen_marker));
}

// A number wider than the formatter's own buffer comes out whole.
TEST_F(JournalTest, WideNumbersComeOutWhole) {
  QXChar out[256];
  QXStrSize n = 0;
  ASSERT_EQ(qxlMessageToBuf(qx_default_journal(), qx_text(U"%150.140f|"), 0, out, 256, &n, 1.0 / 3), 0);
  char expected[256];
  std::snprintf(expected, sizeof expected, "%150.140f|", 1.0 / 3);
  EXPECT_EQ(narrow(out, n), expected);
}

TEST_F(JournalTest, StringDirectivesTakeWideAndNarrowText) {
  QXChar out[64];
  QXStrSize n = 0;
  const char32_t name[] = {U'a', U'b', U'c', U'd'};  // no terminator: the length bounds the read
  qxlMessageToBuf(qx_default_journal(), qx_text(U"%s|%hs|%.*S|%-4S|%c%hc"), 0, out, 64, &n,
                  qx_text(U"\u00e9t\u00e9"), "plain", 3, qx_text(name), qx_text(U"x"), 0x263A, 'z');
  EXPECT_EQ(narrow(out, n), "\xc3\xa9t\xc3\xa9|plain|abc|x   |\xe2\x98\xbaz");
  qxlMessageToBuf(qx_default_journal(), qx_text(U"%s %n%q!"), 0, out, 64, &n, nullptr, &n);
  EXPECT_EQ(narrow(out, n), "(null) %q!");  // %n writes nothing; unknown directives stay text
  for (const char32_t* cut : {U"at 100%", U"width %-5"}) {  // directives cut short by the end stay text
    qxlMessageToBuf(qx_default_journal(), qx_text(cut), 0, out, 64, &n);
    EXPECT_EQ(platform::from_utf8(narrow(out, n)), cut);
  }
}

TEST_F(JournalTest, ShortBuffersAreFilledTerminatedAndReported) {
  QXChar out[4] = {9, 9, 9, 9};
  QXStrSize n = 0;
  EXPECT_EQ(qxlMessageToBuf(qx_default_journal(), qx_text(U"%d"), 0, out, 4, &n, 123456),
            kQXBufferTooSmall);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(narrow(out, n), "123");
  EXPECT_EQ(out[3], 0);
}

TEST_F(JournalTest, MessagesAndStatusesGoToTheLogAtTheirSeverity) {
  QXJnlh jnl = qx_default_journal();
  EXPECT_EQ(qxlMessageToJnl(jnl, QXSeverityWarning, qx_text(U"%hs has %i rows"), 0, "table", 3), 0);
  qxlMessageToJnl(jnl, QXSeverityNone, qx_text(U"plain line, cut here"), 10);
  qxlStatusToJnl(jnl, QXSeverityError, static_cast<QXStatus>(0x8c7fe8c9u), 4, qx_text(U"LOUD"), 5,
                 qx_text(U"t.sev"));
  qxlStatusToJnl(jnl, QXSeverityNote, static_cast<QXStatus>(0x80001234u));
  EXPECT_EQ(log_text(),
            "WARNING: table has 3 rows\n"
            "plain line\n"
            "ERROR: The value 'LOUD' of the named value t.sev is not one of the keywords allowed; "
            "the default is used.\n"
            "NOTE: Kernel status 0x80001234.\n");
  EXPECT_EQ(qxlMessageToJnl(nullptr, QXSeverityNote, qx_text(U"x"), 0), kQXMissingExtension);
  EXPECT_EQ(qxlGetLocale(jnl), Exported_QXHandle->sknls_global->Localeh);
}

TEST_F(JournalTest, FormatBufferServesTheBootstrapColumnNames) {
  QXChar out[30];
  QXStrSize n = 0;
  EXPECT_EQ(qxzFormatBuff(nullptr, qx_text(U"PARM_%d"), 0, out, 30, &n, 12), 0);
  EXPECT_EQ(narrow(out, n), "PARM_12");
}

// The 2-forms go to the kernel handle that owns fmtinfo's locale and hand
// it the caller's fmtinfo; without a locale, to the module's handle.
QX_HNDL_S* g_called = nullptr;
QXZFmtInfop g_info = nullptr;

TEST_F(JournalTest, FormatInformationChoosesTheHandleThatOwnsItsLocale) {
  QX_HNDL_S other = *Exported_QXHandle;
  other.msgFormatBuff = [](QX_HNDL_S* h, QXZFmtInfop info, const QXChar* fmt, QXStrSize fmtL, QXChar* dest,
                           QXStrSize destL, QXStrSize* cnvL, int flags, va_list args) {
    g_called = h, g_info = info;
    return Exported_QXHandle->msgFormatBuff(h, info, fmt, fmtL, dest, destL, cnvL, flags, args);
  };
  other.msgRenderFmt = [](QX_HNDL_S* h, QXZFmtInfop info, void* pool, const QXChar* fmt, QXStrSize fmtL,
                          va_list args) {
    g_called = h, g_info = info;
    return Exported_QXHandle->msgRenderFmt(h, info, pool, fmt, fmtL, args);
  };
  QX_NLS_S nls{};
  nls.hndl = &other;
  QX_LOCALE_S locale{{}, &nls, "other"};
  QXZFmtInfo_S info{&locale, 0, 0};
  QXChar out[30];
  QXStrSize n = 0;
  EXPECT_EQ(qxzFormat2Buff(&info, qx_text(U"PARM_%d_%hs"), 0, out, 30, &n, 12, "x"), 0);
  EXPECT_EQ(narrow(out, n), "PARM_12_x");
  EXPECT_EQ(g_called, &other);
  EXPECT_EQ(g_info, &info);
  QXZRenderedp lines = qxzRender2Fmt(&info, step_pool(), qx_text(U"%d\n%hs"), 0, 7, "two");
  ASSERT_NE(lines, nullptr);
  ASSERT_EQ(lines->count, 2);
  EXPECT_EQ(narrow(lines->lines[0].line, lines->lines[0].lineL), "7");
  EXPECT_EQ(narrow(lines->lines[1].line, lines->lines[1].lineL), "two");
  EXPECT_EQ(g_called, &other);
  g_called = nullptr;
  EXPECT_EQ(qxzFormat2Buff(nullptr, qx_text(U"%d"), 0, out, 30, &n, 5), 0);
  EXPECT_EQ(narrow(out, n), "5");
  EXPECT_EQ(qxzRender2Fmt(nullptr, step_pool(), qx_text(U"one"), 0)->count, 1);
  EXPECT_EQ(g_called, nullptr);
}

TEST_F(JournalTest, StatusBufferNeedsALocale) {
  QXChar out[80];
  QXStrSize n = 0;
  EXPECT_EQ(qxzStatusBuff(nullptr, kQXBufferTooSmall, out, 80, &n), 0);
  EXPECT_EQ(narrow(out, n), "The output buffer is too small; the text was cut short.");
  SKNLS_S* s = Exported_QXHandle->sknls_global;
  QXLocaleh saved = s->Localeh;
  s->Localeh = nullptr;
  EXPECT_EQ(qxzStatusBuff(nullptr, kQXBufferTooSmall, out, 80, &n), kQXMissingExtension);
  QXZFmtInfo_S info{};
  EXPECT_EQ(qxzStatus2Buff(&info, kQXBufferTooSmall, out, 80, &n), kQXMissingExtension);
  s->Localeh = saved;
  EXPECT_EQ(qxzStatus2Buff(&info, kQXBufferTooSmall, out, 80, &n), 0);
  EXPECT_EQ(info.locale, saved);  // the session locale is filled in
}

TEST_F(JournalTest, CapturedStatusRendersLaterWithItsOwnCopies) {
  QXChar value[] = {'a', 'b', 'c', 0};
  QXZCapturedp c = qxzCapture(Exported_QXHandle, step_pool(), static_cast<QXStatus>(0x8c7fe8c8u), 3,
                              value, 3, qx_text(U"t.x"), -5LL, 5LL);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->count, 6);
  value[0] = 'Z';  // the capture holds its own copy
  QXZRenderedp r = qxzRender(nullptr, step_pool(), c);
  ASSERT_NE(r, nullptr);
  ASSERT_EQ(r->count, 1);
  EXPECT_EQ(narrow(r->lines[0].line, r->lines[0].lineL),
            "The value 'abc' of the named value t.x is not a whole number from -5 to 5.");
  QXZRenderedp two = qxzRenderFmt(nullptr, step_pool(), qx_text(U"%d\n%hs"), 0, 1, "second");
  ASSERT_NE(two, nullptr);
  ASSERT_EQ(two->count, 2);
  EXPECT_EQ(narrow(two->lines[1].line, two->lines[1].lineL), "second");
  EXPECT_EQ(qxzRenderFmt(nullptr, nullptr, qx_text(U"x"), 0), nullptr);  // no pool
}

TEST_F(JournalTest, CapturedNumbersRenderAsGivenAndMissingOnesAsZero) {
  const auto status = static_cast<QXStatus>(0x8c7fe819u);  // its text takes %llu and %.15g
  QXZCapturedp c = qxzCapture(Exported_QXHandle, step_pool(), status, 2147483646ULL, 0.1);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->count, 2);
  QXZRenderedp r = qxzRender(nullptr, step_pool(), c);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(narrow(r->lines[0].line, r->lines[0].lineL),
            "A seed from 1 to 2147483646 cannot be made from the seed 0.1.");
  r->gen.destroy(r);  // the pool owns the record: it stays readable
  EXPECT_EQ(r->count, 1);
  // A capture with fewer arguments than its text asks for.
  QXZCaptured_S bare = *c;
  bare.count = 0;
  r = qxzRender(nullptr, step_pool(), &bare);
  EXPECT_EQ(narrow(r->lines[0].line, r->lines[0].lineL), "A seed from 1 to 0 cannot be made from the seed 0.");
  // Without a pool the copies of the texts have nowhere to go.
  QXChar name[] = {'a', 0};
  EXPECT_EQ(qxzCapture(Exported_QXHandle, nullptr, static_cast<QXStatus>(0x8c7fe8c8u), 1, name, 1, name, 0LL, 0LL),
            nullptr);
}

TEST_F(JournalTest, StatusTextsGoToBuffersAndTheOtherMethodsAnswer) {
  QXJnlh jnl = qx_default_journal();
  QXChar out[80];
  QXStrSize n = 0;
  EXPECT_EQ(qxlStatusToBuf(jnl, kQXBufferTooSmall, out, 80, &n), 0);
  EXPECT_EQ(narrow(out, n), "The output buffer is too small; the text was cut short.");
  EXPECT_EQ(qxlStatusToBuf(nullptr, kQXBufferTooSmall, out, 80, &n), kQXMissingExtension);
  EXPECT_EQ(jnl->flush(jnl), 0);
  EXPECT_EQ(jnl->concat(jnl, jnl), kQXNotSupported);
  EXPECT_EQ(jnl->tee(jnl, jnl), kQXNotSupported);
  EXPECT_EQ(jnl->config(jnl, 0), kQXNotSupported);
  qxlMessageToJnl(jnl, QXSeverityNote, qx_text(U"written"), 0);
  EXPECT_EQ(jnl->hasData(jnl), 1);
  jnl->generic.destroy(jnl);  // the kernel's own journal outlives its users
  EXPECT_EQ(qx_default_journal(), jnl);
  EXPECT_EQ(jnl->flush(jnl), 0);
}

int g_destroyed = 0;
void destroy_test_extension(void* self) {
  ++g_destroyed;
  delete static_cast<platform::QXGeneric*>(self);
}
void* make_test_extension() { return new platform::QXGeneric{nullptr, "qxunittest", &destroy_test_extension}; }
const platform::ExtensionRegistration kTestExtension{"qxunittest", &make_test_extension};

TEST_F(JournalTest, ExtensionsLoadByNameAndUnknownNamesGiveNull) {
  QX_HNDL_S* h = Exported_QXHandle;
  EXPECT_EQ(h->loadExtension(h, qx_text(U"qxnosuch"), 8, 0), nullptr);
  EXPECT_EQ(h->loadExtension(h, qx_text(U"qxunittest"), 6, 0), nullptr);  // "qxunit"
  EXPECT_EQ(h->loadExtension(h, nullptr, 5, 0), nullptr);
  auto* ext = static_cast<QX_GENERIC_S*>(h->loadExtension(h, qx_text(U"qxunittest"), 10, 0));
  ASSERT_NE(ext, nullptr);
  EXPECT_STREQ(ext->name, "qxunittest");
  g_destroyed = 0;
  ext->destroy(ext);
  EXPECT_EQ(g_destroyed, 1);
}

}  // namespace
