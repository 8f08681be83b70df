// The module reaches host services through the control block's tables.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <stdexcept>
#include <vector>

#include "host/globals.h"
#include "host/module_entry.h"
#include "host/parse_print_record.h"
#include "host/pool.h"
#include "host/token.h"
#include "platform/pool.h"
#include "host/services.h"
#include "platform/services/service_table.h"
#include "support/host_fixture.h"

namespace {

int g_calls = 0;
int g_last_rc = 0;
void fake_xexit(int rc, int) {
  ++g_calls;
  g_last_rc = rc;
}

using ServicesTest = HostTest;

int count_of(const std::string& text, const std::string& piece) {
  int n = 0;
  for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

TEST_F(ServicesTest, CallGoesThroughVectorAndEntryAndClearsTheVectorByte) {
  // xexit is entry 4 of vector 39: replacing that entry redirects the call.
  void* old = host().replace_service(39, 4, reinterpret_cast<void*>(&fake_xexit));
  auto* bytes = reinterpret_cast<unsigned char*>(host().control_block()[1]);
  bytes[39] = 0xAB;
  g_calls = 0;
  xexit(77, 0);
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(g_last_rc, 77);
  EXPECT_EQ(bytes[39], 0);
  EXPECT_EQ(bytes[164], 0xFF);  // other vectors untouched
  host().replace_service(39, 4, old);
  EXPECT_THROW(xexit(8, 0), platform::StepExit);
}

TEST_F(ServicesTest, VariadicMessagesFormatTheirInserts) {
  char buffer[64];
  int n = xpmstr(buffer, sizeof buffer, 1, 8, 123L);
  EXPECT_STREQ(buffer, "Insufficient memory: 123 bytes could not be allocated.");
  EXPECT_EQ(n, static_cast<int>(std::strlen(buffer)));
  // A short buffer is filled and terminated, never overrun.
  char small[8];
  xpmstr(small, sizeof small, 1, 8, 1L);
  EXPECT_EQ(std::strlen(small), 7u);
  xpmlog(1, 14, 4);
  EXPECT_NE(log_text().find("NOTE: The step ended with return code 4."), std::string::npos);
}

TEST_F(ServicesTest, UnknownMessageIsReportedNotCrashed) {
  xpmlog(999, 999);
  EXPECT_NE(log_text().find("ERROR: Message 999/999 is not in the message catalogue."),
            std::string::npos);
}

TEST_F(ServicesTest, StepEndsThroughXexitWithItsCodeAndRunsEndOfTaskOnce) {
  static int end_calls;
  end_calls = 0;
  int rc = host().run_step_with([] {
    xytexit([] { ++end_calls; });
    xexit(1016, 0);
  });
  EXPECT_EQ(rc, 1016);
  EXPECT_EQ(end_calls, 1);
  EXPECT_EQ(host().run_step_with([] {}), 0);
  EXPECT_EQ(end_calls, 1);
}

// An ERROR line makes the step's code at least 8 and a WARNING line at least
// 4; a nonzero code that no such line explains gets a line of its own,
// the memory message with 1016 when an allocation failed in the step.
TEST_F(ServicesTest, TheReturnCodeAgreesWithTheLog) {
  struct Case {
    void (*body)();
    int rc;
    const char* said;  // null: no line of the runner's own
  };
  const Case cases[] = {
      {[] { xexit(1016, 0); }, 1016, "ERROR: The step ran out of memory and was stopped."},
      {[] { platform::add_memory_shortage(64); xexit(1012, 0); }, 1016,
       "ERROR: Insufficient memory: 64 bytes could not be allocated."},
      {[] { xexit(1012, 0); }, 1012, "ERROR: The step ended with return code 1012 and logged no message"},
      {[] { xexit(4, 0); }, 4, "WARNING: The step ended with return code 4 and logged no message"},
      {[] { xpmlog(1, 8, 1L); }, 8, nullptr},
      {[] { xpmlog(1, 16, 3); }, 4, nullptr},
      {[] { xpmlog(1, 8, 1L); xexit(1012, 0); }, 1012, nullptr},
      {[] { xpmlog(1, 16, 3); xexit(1012, 0); }, 1012, nullptr},
      {[] { xpmlog(1, 14, 0); }, 0, nullptr},
  };
  for (const Case& c : cases) {
    log_.str("");
    EXPECT_EQ(host().run_step_with(c.body), c.rc) << log_text();
    if (c.said) EXPECT_NE(log_text().find(c.said), std::string::npos) << log_text();
    else EXPECT_EQ(log_text().find("logged no message"), std::string::npos) << log_text();
  }
}

// What goes wrong outside the step's own codes is contained: an exception
// the host did not expect ends the step with 1012 and says so, and an
// end-of-task routine that ends with xexit does not escape.
TEST_F(ServicesTest, UnexpectedFailuresEndTheStepCleanly) {
  EXPECT_EQ(host().run_step_with([] { throw std::runtime_error("boom"); }), 1012);
  EXPECT_NE(log_text().find("ERROR: The step ended because of an unexpected error: boom"), std::string::npos);
  log_.str("");
  EXPECT_EQ(host().run_step_with([] { xytexit([] { xexit(4, 0); }); }), 0);
  EXPECT_EQ(log_text(), "");
}

// The host refuses a module it cannot start: without the kernel library, or
// when the image record is not one (its mark, or no procedure by its name).
TEST_F(ServicesTest, AModuleThatCannotBeStartedIsRefused) {
  HostWord& qx = host().control_block()[gcb::kQXHandle];
  const HostWord saved = qx;
  qx = 0;
  EXPECT_FALSE(host().load_module());
  qx = saved;
  EXPECT_NE(log_text().find("ERROR: The kernel library is not available; the module cannot be started."),
            std::string::npos);
  vi_mcn.modconmagic = 0;
  EXPECT_FALSE(host().load_module());
  vi_mcn.modconmagic = kModconMagic;
  pcn_KOVRUVA.name[0] = 'x';
  EXPECT_EQ(host().run_step({}), 1012);
  pcn_KOVRUVA.name[0] = 'k';
  EXPECT_EQ(count_of(log_text(), "ERROR: The module did not return a valid image record."), 2);
  EXPECT_TRUE(host().load_module());
}

// Options and statuses the host does not know, and messages printed with
// their severity.
TEST_F(ServicesTest, UnknownOptionsStatusesAndMessagesAreAnswered) {
  int length = 5, value = 7;
  EXPECT_STREQ(xoptcgt("NOSUCH", &length), "");
  EXPECT_EQ(length, 0);
  EXPECT_EQ(xoptbgt("NOSUCH", &value), 1);
  EXPECT_EQ(value, 7);
  xprrlog(0, static_cast<int>(0x80112345u));
  EXPECT_NE(log_text().find("ERROR: The host reported status 0x80112345 (facility 548, number 837)."),
            std::string::npos)
      << log_text();
  EXPECT_EQ(run_as_step([] {
              xinit();
              xpmprn(1, 16, 3);
              xpmprn(1, 8, 2L);
              EXPECT_EQ(xpmprn(999, 1), -1);
            }),
            8);
  EXPECT_NE(listing_text().find("WARNING: Line 3: text outside a PROC RUVA step was ignored."), std::string::npos)
      << listing_text();
  EXPECT_NE(listing_text().find("ERROR: Insufficient memory: 2 bytes could not be allocated."), std::string::npos);
  EXPECT_NE(log_text().find("ERROR: Message 999/1 is not in the message catalogue."), std::string::npos);
}

// The parse callback reads the step's tokens with their host classes.
std::vector<int> g_token_types;
int record_token_types(CMPGLOBAL*) {
  if (!g_token_types.empty()) return 0;
  for (TOKEN* t = xttkcur(); t; t = xttkpk(t, 0)) {
    g_token_types.push_back(t->type);
    if (t->type == token_type::kEndOfStep) break;
  }
  return 0;
}

TEST_F(ServicesTest, TheParseCallbackSeesEveryClassOfToken) {
  g_token_types.clear();
  host().run_step_with(
      [] {
        static CMPGLOBAL cmp{};
        cmppars(nullptr, nullptr, 0, 0, 0, &record_token_types, nullptr, 0, &cmp);
      },
      {"proc ruva;\n  x = '01jan2020'd + '10:30't + '01jan2020:10:30'dt + 2 + . + 'a' + der.b;\n", 1, "t.ruva"});
  using namespace token_type;
  // From the first statement's first token after PROC.
  EXPECT_EQ(g_token_types, (std::vector<int>{kName, kPunctuation, kName, kPunctuation, kDate, kPunctuation,
                                             kTime, kPunctuation, kDateTime, kPunctuation, kNumber, kPunctuation,
                                             kMissing, kPunctuation, kString, kPunctuation, kCompound, kPunctuation,
                                             kEndOfStep}));
}

TEST_F(ServicesTest, EveryDeclaredServiceHasItsOwnEntry) {
  std::set<std::pair<int, int>> seen;
  for (const auto& s : platform::service_list()) {
    EXPECT_TRUE(seen.insert({s.vector, s.entry}).second) << s.name;
    EXPECT_EQ(host().service(s.vector, s.entry), s.function) << s.name;
  }
}

}  // namespace
