// The message catalogue compiled into the program.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/listing/message_catalog.h"

namespace {

std::string catalogue_file() {
  std::ifstream in(std::string(RUVA_SOURCE_DIR) + "/data/messages.txt");
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(MessageCatalog, EveryLineParsesAndNoMessageIsDefinedTwice) {
  std::string errors;
  auto cat = platform::MessageCatalog::parse(catalogue_file(), &errors);
  EXPECT_EQ(errors, "");
  EXPECT_GT(cat.size(), 10u);
}

TEST(MessageCatalog, MalformedAndDuplicateLinesAreReported) {
  std::string errors;
  auto cat = platform::MessageCatalog::parse("305 1 N one\n305 1 W again\n305 2 X bad\n", &errors);
  EXPECT_NE(errors.find("line 2: message 305/1 is defined twice"), std::string::npos);
  EXPECT_NE(errors.find("line 3: malformed message"), std::string::npos);
  EXPECT_EQ(cat.find(305, 2), nullptr);
}

}  // namespace
