// Data that would drive a terminal: BY values holding escape sequences,
// bells, direction controls and bytes that are not UTF-8 reach the listing,
// the log and the report escaped, and a NUL byte is named in the message,
// kept in a label, instead of ending the text there.
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
  const std::string cell = " of d.csv holds \"19\\x00\", which is not a number.";
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

TEST_F(TerminalTextTest, DirectionControlsDelAndC1AreEscapedInListingLogAndReport) {
  // U+202E reverses the rest of a terminal's line; U+2066 isolates; DEL, U+0085.
  const std::string g = "a\xE2\x80\xAE\xE2\x81\xA6\x7F\xC2\x85", shown = "a\\xE2\\x80\\xAE\\xE2\\x81\\xA6\\x7F\\xC2\\x85";
  write("d.csv", "g,x,y\na,1,2\na,2,4.1\n" + g + ",1,3\n" + g + ",2,6.2\na,1,1\n");
  write("fit.ruva", "proc ruva data=d;\n  by g;\n  parms b=1;\n  model y = b*x;\nrun;\n");
  run("--html r.html fit.ruva");
  const std::string listing = read("listing.txt"), log = read("log.txt"), html = read("r.html");
  EXPECT_TRUE(only_plain_bytes(listing)) << listing;
  EXPECT_TRUE(only_plain_bytes(log)) << log;
  EXPECT_NE(listing.find(" g=" + shown + " "), std::string::npos) << listing;
  EXPECT_NE(log.find("follows observation 4 (\"" + shown + "\")"), std::string::npos) << log;
  EXPECT_NE(html.find("g = " + shown + "<"), std::string::npos);
  EXPECT_EQ(html.find('\x7F'), std::string::npos);
  EXPECT_EQ(html.find("\xC2\x85"), std::string::npos);
}

TEST_F(TerminalTextTest, ANulInALabelIsKeptInEveryOutput) {
  write("d.csv", "time,demand\n1,8.3\n2,10.3\n3,19.0\n4,16.0\n5,15.6\n7,19.8\n");
  write("d.meta.json", R"({"variables":[{"name":"demand","type":"numeric","label":"De\u0000mand"}]})");
  write("fit.ruva", "proc ruva data=d plots=fit;\n  parms a=20 b=.5;\n  model demand=a*(1-exp(-b*time));\n"
                    "  label a='A\0a';\n  bounds a < 19;\n  estimate 'E\0F' a*b;\n  output out=o j=j;\nrun;\n"s);
  ASSERT_EQ(run("--json r.json --html r.html fit.ruva"), 1) << read("log.txt");  // a=20 breaks the bound
  const std::string listing = read("listing.txt"), json = read("r.json"), html = read("r.html");
  // The response's label heads the graphs' data, which the listing leaves out.
  for (const std::string label : {"E\\x00F", "A\\x00a"})
    EXPECT_NE(listing.find(label), std::string::npos) << label << listing;
  for (const std::string label : {"E\\x00F", "De\\x00mand", "A\\x00a"})
    EXPECT_NE(html.find(label + "<"), std::string::npos) << label;
  EXPECT_NE(json.find("\"E\\u0000F\""), std::string::npos);
  EXPECT_NE(json.find("\"De\\u0000mand\""), std::string::npos);
  EXPECT_NE(json.find("\"A\\u0000a\""), std::string::npos);
  // ... and in a note that names the estimate.
  write("fit.ruva", "proc ruva data=d g4;\n  parms a=10 b=10;\n  model demand=(a+b)*(1-exp(-time/2));\n"
                    "  estimate 'N\0N' a;\nrun;\n"s);
  ASSERT_EQ(run("fit.ruva"), 0) << read("log.txt");
  EXPECT_NE(read("log.txt").find("ESTIMATE 'N\\x00N' is not estimable"), std::string::npos) << read("log.txt");
  // A NUL where the program has no business holding one is shown in the error.
  write("fit.ruva", "proc ruva data=d;\n  parms a=20;\n  model demand=a\0;\nrun;\n"s);
  EXPECT_EQ(run("fit.ruva"), 2);
  EXPECT_NE(read("log.txt").find("the character \\x00 is not valid"), std::string::npos) << read("log.txt");
}

// A byte order mark past the first and a no-break space look like nothing
// and like a blank: the messages quoting them show their bytes.
TEST_F(TerminalTextTest, InvisibleCharactersInQuotedValuesAreShown) {
  write("d.csv", "\xEF\xBB\xBFx,\xEF\xBB\xBFy\n1,2\n");
  write("fit.ruva", "proc ruva data=d;\n  parms b=1;\n  model y = b*x;\nrun;\n");
  EXPECT_EQ(run("fit.ruva"), 2);
  EXPECT_NE(read("log.txt").find("\"\\xEF\\xBB\\xBFy\" is not a valid variable name"), std::string::npos) << read("log.txt");
  write("d.csv", "x,y\n1,2\n2,4\xC2\xA0\n");
  EXPECT_EQ(run("fit.ruva"), 2);
  EXPECT_NE(read("log.txt").find("holds \"4\\xC2\\xA0\", which is not a number"), std::string::npos) << read("log.txt");
}

}  // namespace
