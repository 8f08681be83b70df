// The host's macro variables and the two services that reach them.
#include "platform/macro_variables.h"

#include <gtest/gtest.h>

#include "host/globals.h"
#include "host/services.h"
#include "support/host_fixture.h"

namespace {

using MacroVariables = HostTest;

TEST_F(MacroVariables, ServicesSetNumbersInTheTasksScope) {
  MACRO_SCOPE* scope = xalanch(reinterpret_cast<void*>(task_record()[task::kSymbolTable]));
  ASSERT_EQ(scope, host().macro_scope());
  EXPECT_EQ(xalanch(nullptr), scope);
  EXPECT_EQ(xjsympn(scope, "SYSRANDOMX", 9, 0x46, 0, 42.0), 0);  // the length counts
  EXPECT_EQ(host().macro_variables().find("SysRandom"), "42");
  EXPECT_NE(xjsympn(scope, "SYSRANDOM", 9, 0x43, 0, 1.0), 0);  // not a numeric type
  EXPECT_NE(xjsympn(scope, "9LIVES", 6, 0x46, 0, 1.0), 0);
  EXPECT_NE(xjsympn(scope, "A B", 3, 0x46, 0, 1.0), 0);
  EXPECT_NE(xjsympn(scope, "A", 0, 0x46, 0, 1.0), 0);
  EXPECT_NE(xjsympn(nullptr, "A", 1, 0x46, 0, 1.0), 0);
  EXPECT_EQ(host().macro_variables().find("9LIVES"), std::nullopt);
}

TEST_F(MacroVariables, NumbersAreWrittenInFullOrShortestForm) {
  EXPECT_EQ(platform::macro_number_text(12345), "12345");
  EXPECT_EQ(platform::macro_number_text(-9007199254740993.0), "-9007199254740992");
  EXPECT_EQ(platform::macro_number_text(18446744073709551615.0), "18446744073709551616");
  EXPECT_EQ(platform::macro_number_text(1e22), "1e+22");
  EXPECT_EQ(platform::macro_number_text(-0.0), "0");
  EXPECT_EQ(platform::macro_number_text(0.1), "0.1");
}

TEST_F(MacroVariables, ChangesAreTakenOnceInTheOrderFirstSet) {
  platform::MacroVariables store;
  EXPECT_TRUE(store.set("b", "1"));
  EXPECT_TRUE(store.set("_a1", "2"));
  EXPECT_TRUE(store.set("B", "3"));
  EXPECT_FALSE(store.set(std::string(33, 'X'), "4"));
  const std::vector<std::pair<std::string, std::string>> expected = {{"B", "3"}, {"_A1", "2"}};
  EXPECT_EQ(store.take_changes(), expected);
  EXPECT_TRUE(store.take_changes().empty());
  EXPECT_EQ(store.find("b"), "3");
}

}  // namespace
