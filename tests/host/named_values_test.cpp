// Typed named values over the kernel library's store, with the journal
// reports that go to the log.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "host/globals.h"
#include "host/named_values.h"
#include "host/kernel_handle.h"
#include "host/kernel_text_literals.h"
#include "platform/kernel/kernel_state.h"
#include "support/host_fixture.h"

namespace {

constexpr KOVLONG kTwo53 = 9007199254740992LL;

std::u32string wide(const std::string& s) { return {s.begin(), s.end()}; }

int count(const std::string& text, const std::string& piece) {
  int n = 0;
  for (auto p = text.find(piece); p != std::string::npos; p = text.find(piece, p + 1)) ++n;
  return n;
}

using NamedValuesTest = HostTest;

TEST_F(NamedValuesTest, StolAgreesWithStrtollOnIntegerTexts) {
  std::mt19937_64 gen(7);
  std::uniform_int_distribution<KOVLONG> any(-kTwo53, kTwo53);
  std::vector<std::string> texts = {"0", "-0", "+17", "42", "-42", "9007199254740992",
                                    "-9007199254740991", "000123"};
  for (int i = 0; i < 500; ++i) texts.push_back(std::to_string(any(gen)));
  for (const std::string& t : texts) {
    const std::u32string w = wide(t);
    EXPECT_EQ(qxnrstol(qx_text(w.c_str())), std::strtoll(t.c_str(), nullptr, 10)) << t;
  }
}

TEST_F(NamedValuesTest, StolRejectsWhatIsNotAnInteger) {
  EXPECT_EQ(qxnrstol(qx_text(U"  -42  ")), -42);
  EXPECT_EQ(qxnrstol(qx_text(U"7.00")), 7);
  EXPECT_EQ(qxnrstol(qx_text(U"12.")), 12);
  for (const char32_t* bad : {U"7.5", U"x", U"", U"- 5", U"1 2", U"12a", U".5", U"7.0x"})
    EXPECT_EQ(qxnrstol(qx_text(bad)), -kTwo53) << std::string(bad, bad + std::char_traits<char32_t>::length(bad));
  EXPECT_EQ(qxnrstol(qx_text(U"12345678901234567890")), kTwo53);
  EXPECT_EQ(qxnrstol(qx_text(U"-12345678901234567890")), -kTwo53);
  EXPECT_EQ(qxnrstol(nullptr), -kTwo53);
}

TEST_F(NamedValuesTest, TypedValuesRoundTripAndDefaultsApplyToAbsentNames) {
  EXPECT_EQ(qxnrlset(qx_text(U"t.int"), 0, -5), 0);
  EXPECT_EQ(qxnrlget(qx_text(U"t.int"), 0, 9), -5);
  EXPECT_EQ(qxnrdset(qx_text(U"t.dbl"), 5, 2.5), 0);
  EXPECT_EQ(qxnrdget(qx_text(U"t.dbl"), 0, 0), 2.5);
  EXPECT_EQ(qxnrtset(qx_text(U"t.txt"), 0, qx_text(U"hello"), 0), 0);
  QXChar out[16];
  EXPECT_EQ(qxnrtget(qx_text(U"t.txt"), 0, out, 16), 5);
  EXPECT_EQ(std::u32string(reinterpret_cast<char32_t*>(out)), U"hello");
  EXPECT_EQ(qxnrlget(qx_text(U"t.none"), 0, 9), 9);
  EXPECT_EQ(qxnrdget(qx_text(U"t.none"), 0, 1.5), 1.5);
  EXPECT_EQ(qxnrtget(qx_text(U"t.none"), 0, out, 16), 0);
  // The length given counts: "t.in" is another name.
  EXPECT_EQ(qxnrlget(qx_text(U"t.int"), 4, 9), 9);
  EXPECT_EQ(log_text(), "");  // absent names are not errors
}

TEST_F(NamedValuesTest, IntegerReadFallsBackToTheText) {
  qxnrtset(qx_text(U"t.n"), 0, qx_text(U" 12.000 "), 0);
  EXPECT_EQ(qxnrlget(qx_text(U"t.n"), 0, -1), 12);
  EXPECT_EQ(log_text(), "");
  // An integer stored over a text is kept as text.
  EXPECT_EQ(qxnrlset(qx_text(U"t.n"), 0, -77), 0);
  QXChar out[8];
  ASSERT_EQ(qxnrtget(qx_text(U"t.n"), 0, out, 8), 3);
  EXPECT_EQ(std::u32string(reinterpret_cast<char32_t*>(out)), U"-77");
  qxnrtset(qx_text(U"t.n"), 0, qx_text(U"abc"), 0);
  EXPECT_EQ(qxnrlget(qx_text(U"t.n"), 0, -1), -1);
  EXPECT_NE(log_text().find("ERROR: The value 'abc' of the named value t.n is not a whole number "
                            "from -9007199254740992 to 9007199254740992."),
            std::string::npos)
      << log_text();
}

TEST_F(NamedValuesTest, WrongTypeIsReportedWithTheOperationAndDefaultReturned) {
  qxnrtset(qx_text(U"t.word"), 0, qx_text(U"text"), 0);
  EXPECT_EQ(qxnrdget(qx_text(U"t.word"), 0, 3.25), 3.25);
  EXPECT_NE(log_text().find("ERROR: qxNameValueGet failed for t.word in qxnrdget"), std::string::npos);
  EXPECT_NE(log_text().find("ERROR: The named value holds a value of another type."), std::string::npos);
}

TEST_F(NamedValuesTest, ShortBuffersStoreOnlyTheTerminatorAndNeverOverrun) {
  qxnrtset(qx_text(U"t.s"), 0, qx_text(U"abcdef"), 0);
  QXChar one[2] = {'x', 'y'};
  EXPECT_EQ(qxnrtget(qx_text(U"t.s"), 0, one, 1), 0);
  EXPECT_EQ(one[0], 0);
  EXPECT_EQ(one[1], 'y');
  QXChar none[1] = {'x'};
  EXPECT_EQ(qxnrtget(qx_text(U"t.s"), 0, none, 0), 0);
  EXPECT_EQ(none[0], 'x');
  // A value longer than the buffer is a reported failure, with nothing written past it.
  QXChar four[5] = {'-', '-', '-', '-', '#'};
  EXPECT_EQ(qxnrtget(qx_text(U"t.s"), 0, four, 4), 0);
  EXPECT_EQ(four[0], 0);
  EXPECT_EQ(four[4], '#');
  EXPECT_NE(log_text().find("output buffer is too small"), std::string::npos);
  // The kernel never reports more bytes than it was given.
  QX_HNDL_S* h = Exported_QXHandle;
  QXChar room[3];
  QXMemSize size = 10;  // two and a half characters
  EXPECT_EQ(h->nameGet(h, qx_text(U"t.s"), 3, 4, room, &size), kQXBufferTooSmall);
  EXPECT_EQ(size, 8u);
}

TEST_F(NamedValuesTest, NarrowReadEncodesInTheSessionEncodingAndCutsAtAWholeCharacter) {
  qxnrtset(qx_text(U"t.c"), 0, qx_text(U"h\u00e9llo"), 0);
  char out[16];
  EXPECT_EQ(qxnrcget(qx_text(U"t.c"), 0, out, 16), 6);
  EXPECT_STREQ(out, "h\xc3\xa9llo");
  // Two characters fit a 3-byte buffer, but their three bytes do not: the
  // e-acute is left out whole, never half of it.
  qxnrtset(qx_text(U"t.c"), 0, qx_text(U"h\u00e9"), 0);
  char small[3];
  EXPECT_EQ(qxnrcget(qx_text(U"t.c"), 0, small, 3), 1);
  EXPECT_STREQ(small, "h");
}

TEST_F(NamedValuesTest, CountdownCountsToMinusOneWithOneNote) {
  const QXChar* name = qx_text(U"t.limit");
  EXPECT_EQ(qxnrlimit(name, 0, 5), 5);
  std::vector<int> seen;
  for (int i = 0; i < 8; ++i) seen.push_back(qxnrlimit(name, 0, 5));
  EXPECT_EQ(seen, (std::vector<int>{4, 3, 2, 1, 0, -1, -1, -1}));
  EXPECT_EQ(count(log_text(), "NOTE: The countdown t.limit has reached its end"), 1) << log_text();
  qxnrlset(name, 0, 2);  // a stored value counts on
  EXPECT_EQ(qxnrlimit(name, 0, 5), 1);
  // Unreadable text restarts the countdown at 99.
  qxnrtset(qx_text(U"t.bad"), 0, qx_text(U"ABC"), 0);
  EXPECT_EQ(qxnrlimit(qx_text(U"t.bad"), 0, 5), 99);
  EXPECT_EQ(qxnrlimit(qx_text(U"t.bad"), 0, 5), 98);
}

TEST_F(NamedValuesTest, LookupUpperCasesTheValueAndReportsAMismatchOnce) {
  qxnrtset(qx_text(U"t.method"), 0, qx_text(U" xor64 "), 0);
  EXPECT_EQ(qxnrlook(qx_text(U"t.method"), 0, -1, qx_text(U"MT"), 1, qx_text(U"XOR64"), 2,
                     qx_text(U"XOR"), 3, nullptr),
            2);
  // Keywords are compared with the upper-cased value: lower-case keywords never match.
  EXPECT_EQ(qxnrlook(qx_text(U"t.method"), 0, -1, qx_text(U"xor64"), 2, nullptr), -1);
  qxnrtset(qx_text(U"t.sev"), 0, qx_text(U"loud"), 0);
  EXPECT_EQ(qxnrlook(qx_text(U"t.sev"), 0, 4, qx_text(U"NOTE"), 2, nullptr), 4);
  EXPECT_EQ(qxnrlook(qx_text(U"t.sev"), 0, 4, qx_text(U"NOTE"), 2, nullptr), 4);
  EXPECT_EQ(count(log_text(), "The value 'LOUD' of the named value t.sev is not one of the keywords"), 1)
      << log_text();
  EXPECT_EQ(qxnrlook(qx_text(U"t.unset"), 0, 7, qx_text(U"NOTE"), 2, nullptr), 7);
}

TEST_F(NamedValuesTest, EnvironmentAnswersOsenvNames) {
  ::setenv("RUVA_TEST_LEVEL", " note", 1);
  EXPECT_EQ(qxnrlook(qx_text(U"OSENV.RUVA_TEST_LEVEL"), 0, 4, qx_text(U"ERROR"), 4, qx_text(U"NOTE"), 2,
                     nullptr),
            2);
  // A value stored under the name takes precedence over the environment.
  qxnrlset(qx_text(U"OSENV.RUVA_TEST_LEVEL"), 0, 3);
  EXPECT_EQ(qxnrlget(qx_text(U"OSENV.RUVA_TEST_LEVEL"), 0, 0), 3);
  ::unsetenv("RUVA_TEST_LEVEL");
}

TEST_F(NamedValuesTest, DebugSwitchTracesEveryAccess) {
  qxnrlset(qx_text(U"t.v"), 0, 5);
  EXPECT_EQ(log_text(), "");
  qxnrtset(qx_text(U"OSENV.KOV_QXNR_DEBUG"), 0, qx_text(U"1"), 0);
  qxnrlget(qx_text(U"t.v"), 0, 0);
  qxnrdget(qx_text(U"t.v"), 0, 0);
  EXPECT_NE(log_text().find("qxnrlget(t.v)=5"), std::string::npos) << log_text();
  EXPECT_NE(log_text().find("qxnrdget(t.v)=                   5"), std::string::npos) << log_text();
}

// With the switch on, every operation traces what it returns in its own
// form, and the integer fallbacks say what they did.
TEST_F(NamedValuesTest, EachOperationTracesInItsOwnForm) {
  qxnrtset(qx_text(U"t.txt"), 0, qx_text(U"abc"), 0);
  qxnrtset(qx_text(U"t.bad"), 0, qx_text(U"ABC"), 0);
  qxnrtset(qx_text(U"t.m"), 0, qx_text(U"xor64"), 0);
  qxnrtset(qx_text(U"OSENV.KOV_QXNR_DEBUG"), 0, qx_text(U"1"), 0);
  QXChar wide_out[8];
  char narrow_out[8];
  EXPECT_EQ(qxnrtget(qx_text(U"t.txt"), 0, wide_out, 8), 3);
  EXPECT_EQ(qxnrcget(qx_text(U"t.txt"), 0, narrow_out, 8), 3);
  EXPECT_EQ(qxnrlset(qx_text(U"t.v"), 0, 5), 0);
  EXPECT_EQ(qxnrlimit(qx_text(U"t.n"), 0, 3), 3);
  EXPECT_EQ(qxnrlset(qx_text(U"t.txt"), 0, 12), 0);  // stored as the text 12
  EXPECT_EQ(qxnrlimit(qx_text(U"t.bad"), 0, 3), 99);
  EXPECT_EQ(qxnrlook(qx_text(U"t.m"), 0, -1, qx_text(U"MT"), 1, qx_text(U"XOR64"), 2, nullptr), 2);
  std::vector<std::string> lines;
  std::istringstream log(log_text());
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  for (const char* line : {"qxnrtget(t.txt)='abc'", "qxnrcget(t.txt)='abc'", "qxnrlset(t.v)=5", "qxnrlimit(t.n)=3",
                           "qxnrlset(t.txt)=12", "ERROR: The named value holds a value of another type.",
                           "qxnrlset(t.txt)='12'",
                           "ERROR: qxNameValueGet failed for t.bad in qxnrlimit. The existing value may not be a "
                           "QXChar string or KOVLONG.",
                           "qxnrlimit(t.bad)=99", "qxnrlook(t.m) 'XOR64' != 'MT' 1",
                           "qxnrlook(t.m) 'XOR64' == 'XOR64' 2", "qxnrlook(t.m)=2 'XOR64'"})
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n" << log_text();
}

// A value that cannot be read as an integer at all (a double, or a name the
// kernel refuses) gives the default and a report naming the operation.
TEST_F(NamedValuesTest, UnreadableIntegersGiveTheDefaultWithAReport) {
  qxnrdset(qx_text(U"t.d"), 0, 2.5);
  EXPECT_EQ(qxnrlget(qx_text(U"t.d"), 0, 9), 9);
  EXPECT_EQ(count(log_text(), "ERROR: qxNameValueGet failed for t.d in qxnrtget"), 1) << log_text();
  EXPECT_EQ(count(log_text(), "ERROR: qxNameValueGet failed for t.d in qxnrlget"), 1) << log_text();
  EXPECT_EQ(qxnrlget(qx_text(U""), 0, 8), 8);  // an empty name
  EXPECT_EQ(count(log_text(), "ERROR: qxNameValueGet failed for  in qxnrlget"), 1) << log_text();
}

TEST_F(NamedValuesTest, ClearingANameMakesItAbsent) {
  QX_HNDL_S* h = Exported_QXHandle;
  qxnrlset(qx_text(U"t.gone"), 0, 4);
  EXPECT_EQ(h->nameClear(h, qx_text(U"t.gone"), 6), 0);
  EXPECT_EQ(h->nameExists(h, qx_text(U"t.gone"), 6), 0);
  EXPECT_EQ(qxnrlget(qx_text(U"t.gone"), 0, 9), 9);
  EXPECT_EQ(h->nameClear(h, qx_text(U"t.gone"), 6), kQXNameAbsent);
  EXPECT_EQ(h->nameClear(h, nullptr, 6), kQXInvalidArgument);
}

TEST_F(NamedValuesTest, CpuCountIsPresetAndCommandLineSettingsAreChecked) {
  const KOVLONG cpus = qxnrlget(qx_text(U"host.cpucount"), 13, 0);
  EXPECT_GE(cpus, 1);
  EXPECT_LE(cpus, std::max<long>(1, sysconf(_SC_NPROCESSORS_CONF)));
  std::string why;
  auto& kernel = host().kernel();
  EXPECT_TRUE(kernel.apply_setting("host.cpucount=3", &why));
  EXPECT_EQ(qxnrlget(qx_text(U"host.cpucount"), 13, 0), 3);
  EXPECT_FALSE(kernel.apply_setting("host.cpucount=many", &why));
  EXPECT_EQ(qxnrlget(qx_text(U"host.cpucount"), 13, 0), 3);
}

TEST_F(NamedValuesTest, NoHandleOrNoNameGivesDefaults) {
  EXPECT_EQ(qxnrlget(nullptr, 0, 8), 8);
  EXPECT_EQ(qxnrlimit(nullptr, 0, 6), 6);
  EXPECT_EQ(qxnrlook(nullptr, 0, 5, qx_text(U"A"), 1, nullptr), 5);
  QXHndlp saved = Exported_QXHandle;
  Exported_QXHandle = nullptr;
  EXPECT_EQ(qxnrlget(qx_text(U"host.cpucount"), 0, 8), 8);
  EXPECT_EQ(qxnrdget(qx_text(U"x"), 0, 1.5), 1.5);
  EXPECT_EQ(qxnrtset(qx_text(U"x"), 0, qx_text(U"v"), 0), 0);
  EXPECT_EQ(qxnrlimit(qx_text(U"x"), 0, 6), 6);
  Exported_QXHandle = saved;
}

}  // namespace
