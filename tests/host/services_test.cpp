// The module reaches host services through the control block's tables.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "host/pool.h"
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
// 4; a nonzero code that no such line explains gets a line of its own.
TEST_F(ServicesTest, TheReturnCodeAgreesWithTheLog) {
  struct Case {
    void (*body)();
    int rc;
    const char* said;  // null: no line of the runner's own
  };
  const Case cases[] = {
      {[] { xexit(1016, 0); }, 1016, "ERROR: The step ended with return code 1016 and logged no message"},
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

TEST_F(ServicesTest, EveryDeclaredServiceHasItsOwnEntry) {
  std::set<std::pair<int, int>> seen;
  for (const auto& s : platform::service_list()) {
    EXPECT_TRUE(seen.insert({s.vector, s.entry}).second) << s.name;
    EXPECT_EQ(host().service(s.vector, s.entry), s.function) << s.name;
  }
}

}  // namespace
