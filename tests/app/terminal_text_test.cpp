// Data that would drive a terminal: BY values holding escape sequences,
// bells and bytes that are not UTF-8 reach the listing and the log escaped,
// and a NUL byte is named in the message instead of ending the text there.
#include <gtest/gtest.h>

#include <string>

#include "support/ruva_command.h"

namespace {

using namespace std::string_literals;
using TerminalTextTest = RuvaCommandTest;

// Bytes a terminal acts on: controls other than tab, newline and the
// listing's form feed, and bytes outside ASCII (no valid UTF-8 is written).
bool only_plain_bytes(const std::string& text) {
  for (unsigned char c : text)
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\f') || c >= 0x7F) return false;
  return true;
}

TEST_F(TerminalTextTest, ByValuesReachTheListingAndTheLogEscaped) {
  write("d.csv", "g,x,y\n\"a\x1B[2J\",1,2\n\"a\x1B[2J\",2,4.1\nb\x07\xFF,1,3\nb\x07\xFF,2,6.2\na,1,1\n");
  write("fit.ruva", "proc ruva data=d;\n  by g;\n  parms b=1;\n  model y = b*x;\nrun;\n");
  run("fit.ruva");
  const std::string listing = read("listing.txt"), log = read("log.txt");
  EXPECT_TRUE(only_plain_bytes(listing)) << listing;
  EXPECT_TRUE(only_plain_bytes(log)) << log;
  EXPECT_NE(listing.find(" g=a\\x1B[2J "), std::string::npos) << listing;
  EXPECT_NE(listing.find(" g=b\\x07\\xFF "), std::string::npos) << listing;
  EXPECT_NE(log.find("follows observation 4 (\"b\\x07\\xFF\")"), std::string::npos) << log;
}

TEST_F(TerminalTextTest, ANulByteIsNamedAndNoNameHoldsOne) {
  write("d.csv", "x,y\n1,2\n2,19\0\n"s);
  write("fit.ruva", "proc ruva data=d;\n  parms b=1;\n  model y = b*x;\nrun;\n");
  EXPECT_EQ(run("fit.ruva"), 2);
  const std::string cell = " of " + (dir_ / "d.csv").string() + " holds \"19\\x00\", which is not a number.";
  EXPECT_NE(read("log.txt").find("line 3, column 2" + cell), std::string::npos) << read("log.txt");
  write("d.csv", "x,y\0z\n1,2\n"s);
  EXPECT_EQ(run("fit.ruva"), 2);
  EXPECT_NE(read("log.txt").find("\"y\\x00z\" is not a valid variable name"), std::string::npos) << read("log.txt");
  write("d.csv", "x,y\n1,2\n2,4.1\n");
  write("start.csv", "Parameter,Estimate\nb,1\nb\0x,2\n"s);
  write("fit.ruva", "proc ruva data=d;\n  parms / pdata=start;\n  model y = b*x;\nrun;\n");
  EXPECT_EQ(run("fit.ruva"), 2);
  EXPECT_NE(read("log.txt").find("ERROR: The parameter name \"b\\x00x\" in observation 2 of the parameter data set"),
            std::string::npos) << read("log.txt");
}

}  // namespace
