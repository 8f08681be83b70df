// End to end: the built ruva command on small programs.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/ruva_command.h"

namespace fs = std::filesystem;

namespace {

using RuvaBinaryTest = RuvaCommandTest;

TEST_F(RuvaBinaryTest, TinyFitEndsWithStatusZero) {
  write("d.csv", "x,y\n1,2.9\n2,5.1\n3,7.0\n4,9.2\n5,10.8\n");
  write("fit.ruva", "proc ruva data=d;\n  parms b0=0 b1=1;\n  model y = b0 + b1*x;\nrun;\n");
  EXPECT_EQ(run("fit.ruva"), 0) << read("log.txt");
  EXPECT_NE(read("log.txt").find("1: 0"), std::string::npos) << read("log.txt");
  // Text outside the step is a warning: status 1, though the step's code is 0.
  write("stray.ruva", "options ls=80;\n" + read("fit.ruva"));
  EXPECT_EQ(run("stray.ruva"), 1) << read("log.txt");
  EXPECT_NE(read("log.txt").find("WARNING: Line 1: text outside"), std::string::npos) << read("log.txt");
  // A byte-order mark, as an editor may begin the file with, is no text.
  write("bom.ruva", "\xEF\xBB\xBF" + read("fit.ruva"));
  EXPECT_EQ(run("bom.ruva"), 0) << read("log.txt");
}

TEST_F(RuvaBinaryTest, ProblemsWithTheProgramGiveStatusTwo) {
  EXPECT_EQ(run("missing.ruva"), 2);
  EXPECT_NE(read("log.txt").find("missing.ruva"), std::string::npos);
  write("none.ruva", "data x; run;\n");
  EXPECT_EQ(run("none.ruva"), 2);
  EXPECT_EQ(run("--no-such-option x.ruva"), 2);
  EXPECT_EQ(run("--lib bad x.ruva"), 2);
}

TEST_F(RuvaBinaryTest, HelpVersionAndUsageErrors) {
  EXPECT_EQ(run("--version"), 0);
  EXPECT_EQ(read("listing.txt"), std::string("ruva ") + RUVA_VERSION + "\n");
  EXPECT_EQ(run("--help x.ruva"), 0);
  EXPECT_EQ(read("listing.txt").rfind("usage: ruva [options] PROGRAM...\n", 0), 0u) << read("listing.txt");
  EXPECT_EQ(run("--colour x.ruva"), 2);
  EXPECT_EQ(read("log.txt").rfind("ruva: unknown option --colour\n\nusage: ruva", 0), 0u) << read("log.txt");
}

TEST_F(RuvaBinaryTest, LogAndListingGoWhereTheyAreSent) {
  write("d.csv", "x,y\n1,2\n2,4\n3,6.1\n");
  write("fit.ruva", "proc ruva data=d;\n  parms b=1;\n  model y = b*x;\nrun;\n");
  EXPECT_EQ(run("--log run.log --listing run.lst fit.ruva"), 0);
  EXPECT_TRUE(fs::exists(dir_ / "run.log"));
  EXPECT_TRUE(fs::exists(dir_ / "run.lst"));
  EXPECT_NE(read("run.log").find("1: 0"), std::string::npos);
  EXPECT_EQ(run("--log /no/such/dir/run.log fit.ruva"), 2);
  // A full disk cuts the listing short: an error, not a silent success,
  // with its cause whether the listing is named or sent there by the shell.
  EXPECT_EQ(run("--listing /dev/full fit.ruva"), 2);
  EXPECT_NE(read("log.txt").find("ERROR: The listing file /dev/full could not be written completely: No space left on "
                                 "device.\n"),
            std::string::npos)
      << read("log.txt");
  EXPECT_EQ(run_after("{ ", "fit.ruva >/dev/full; }"), 2);
  EXPECT_NE(read("log.txt").find("ERROR: The listing could not be written completely: No space left on device.\n"),
            std::string::npos)
      << read("log.txt");
  EXPECT_EQ(run("--json /dev/full fit.ruva"), 2);
}

// No message is cut, however long the BY value it names (here up to 200
// characters): the loss warning of a fit not at the Poisson deviance's
// minimum, the notes of dependent parameters and of a function not
// estimable name each group whole, and the warning ends as the catalog's
// text does.
TEST_F(RuvaBinaryTest, MessagesNamingALongByGroupAreWhole) {
  const std::string label = "a_much_longer_group_label_to_see_the_cut";
  const std::string groups[3] = {label, label + label + label + label + label, "short"};
  const int counts[10] = {3, 5, 4, 8, 9, 14, 15, 22, 30, 41};
  std::string csv = "g,x,y\n";
  for (const std::string& g : groups)
    for (int x = 0; x < 10; ++x) csv += g + "," + std::to_string(x) + "," + std::to_string(counts[x]) + "\n";
  write("d.csv", csv);
  write("p.ruva",
        "proc ruva data=d; by g; parms a=1 b=0.3; mu = exp(a + b*x); model y = mu;"
        " _weight_ = 1; _loss_ = 2*(y*log(y/mu) - (y - mu)); run;\n"
        "proc ruva data=d; by g; parms a=1 b=0.3 b2=0; model y = exp(a + (b + b2)*x); estimate 'b' b; run;\n");
  EXPECT_EQ(run("p.ruva"), 1) << read("log.txt");
  const std::string log = read("log.txt");
  EXPECT_EQ(log.find(" ... "), std::string::npos) << log;
  int named = 0;
  for (std::size_t at = log.find(" group g="); at != std::string::npos; at = log.find(" group g=", at + 1), ++named) {
    const std::size_t start = at + 9, end = log.find_first_not_of("abcdefghijklmnopqrstuvwxyz_", start);
    EXPECT_NE(std::find(groups, groups + 3, log.substr(start, end - start)), groups + 3) << log.substr(at, 300);
  }
  EXPECT_GE(named, 9);
  for (const std::string& g : groups) {
    const std::size_t warning = log.find("WARNING: The estimates do not minimise the loss in the BY group g=" + g + ":");
    ASSERT_NE(warning, std::string::npos) << g;
    const std::string tail = "as _WEIGHT_ = 1/mu does for the Poisson deviance).\n";
    EXPECT_EQ(log.find(tail, warning), log.find('\n', warning) + 1 - tail.size()) << g;
    EXPECT_NE(log.find("ESTIMATE 'b' is not estimable in the BY group g=" + g + ":"), std::string::npos) << g;
  }
}

// Bad input: one message that says what is wrong, the exit status that
// goes with it, and no log line that echoes a huge token in full.
TEST_F(RuvaBinaryTest, BadInputGetsOneClearMessage) {
  std::string full = "x,y\n", no_y = "x,y\n";
  for (int i = 1; i <= 23; ++i) {
    full += std::to_string(i) + "," + std::to_string(2 * i + i % 3) + "\n";
    no_y += std::to_string(i) + ",.\n";
  }
  write("d.csv", full);
  write("noy.csv", no_y);
  const std::string fit = "proc ruva data=d; parms b=1; ";
  const std::string model = " model y = b*x; run;\n";
  struct Case {
    std::string program;  // written to p.ruva
    std::string args;
    std::string message;
    int status;
  } cases[] = {
      {"proc ruva data=d; parms Vm=7; bounds 10 < Vm < 5; model y = Vm*x; run;\n", "p.ruva",
       "ERROR: The BOUNDS on the parameter Vm cannot all hold: no value is > 10 and < 5.", 2},
      {"proc ruva data=noy; parms b=1;" + model, "p.ruva",
       "NOTE: 23 of the 23 observations read could not be used: the dependent variable y is missing "
       "(the first is observation 1).", 1},
      {"proc ruva; parms b=1;" + model, "p.ruva", "ERROR: The PROC RUVA statement has no DATA= option", 2},
      {"", ".", "ERROR: The program file . is a folder; name a program file.", 2},
      {"proc ruva data=d; parms K = x;" + model, "p.ruva", "expected a starting value but found x.", 2},
      {"proc ruva data=d; parms y=1; model y = y*x; run;\n", "p.ruva",
       "ERROR: The parameter y is also the dependent variable of the MODEL statement", 2},
      {fit + "model y = b*x + " + std::string(1 << 20, 'z') + "; run;\n", "p.ruva", "zzz ... zzz", 2},
      {fit + "der.zz = 1;" + model, "p.ruva", "WARNING: The program assigns der.zz, but zz is not a parameter", 1},
      {"proc ruva data=d; parms b=1 b=2;" + model, "p.ruva", "ERROR: The parameter b is named more than once", 2},
      {fit + model, "--json out --listing ./out p.ruva", "--listing and --json name the same file ./out", 2},
      {fit + model, "--log p.ruva p.ruva", "--log names the program file p.ruva", 2},
      {fit + "output p=p;" + model, "p.ruva", "WARNING: The OUTPUT statement names no data set with OUT=", 1},
      {fit + "output out=o p=p; output out=o r=r;" + model, "p.ruva",
       "ERROR: The data set WORK.o is already open for output in this step.", 2},
      // One new file by two names: a library of the current folder, a link
      // that dangles to another data set's file.
      {fit + "output out=l.o p=p; output out=o r=r;" + model, "--lib l=. p.ruva",
       "ERROR: The data sets L.o and WORK.o of this step lead to one file, o.csv.", 2},
      {fit + "output out=k p=p; output out=t r=r;" + model, "p.ruva",
       "ERROR: The data sets WORK.k and WORK.t of this step lead to one file, t.csv.", 2},
  };
  fs::create_symlink("t.csv", dir_ / "k.csv");
  for (const Case& c : cases) {
    write("p.ruva", c.program);
    EXPECT_EQ(run(c.args), c.status) << c.program.substr(0, 80) << "\n" << read("log.txt").substr(0, 2000);
    const std::string log = read("log.txt");
    EXPECT_NE(log.find(c.message), std::string::npos) << c.message << "\n" << log.substr(0, 2000);
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 500u) << c.message;
  }
}

// Every failure says why, once, and the exit status agrees with the log: an
// analysis this build lacks is noted and the step goes on; run errors that
// only lose an observation are notes; a loop or LINK that never ends is an
// error that names the observation; a group with no usable observation says
// what made them unusable.
TEST_F(RuvaBinaryTest, FailuresSayWhyOnceAndTheExitStatusAgrees) {
  struct Case {
    const char* args;  // before the program (--json turns graphics on)
    const char* proc;  // PROC statement options
    const char* parms;
    const char* statements;
    std::vector<const char*> said_once;
    int status;
  };
  const char* kNoWeight =
      "4 of the 4 observations read could not be used: the weight _WEIGHT_ is missing, zero or negative (the "
      "first is observation 1).";
  const std::vector<Case> cases = {
      {"--json j.json", "", "a=1", "profile a / profdata=pr;",
       {"NOTE: The data set WORK.pr has 22 observations and 7 variables."}, 0},
      {"", "", "a=1", "bootstrap / bootdata=bd;",
       {"NOTE: The data set WORK.bd has 1000 observations and 4 variables."}, 0},
      {"--json j.json", "plots=fit", "a=1", "", {"NOTE: Convergence criterion met."}, 0},
      {"", "", "a=1", "z = 1 / (x - 2);", {"NOTE: Division by zero at line 1"}, 0},
      {"", "", "a=1", "z = log(x - 1.5);", {"NOTE: Invalid argument to function LOG at line 1"}, 0},
      {"", "", "a=1", "do while (1); end;", {"ERROR: A loop ran more than", "for observation 1."}, 2},
      {"", "", "a=1", "do until (x > 10); end;", {"ERROR: A loop ran more than", "for observation 1."}, 2},
      {"", "", "a=1", "if x = 3 then do; top: z = 1; goto top; end;",
       {"ERROR: A loop ran more than", "for observation 3."}, 2},
      {"", "", "a=1", "link s; s: link s; return;", {"ERROR: LINK statements are nested more than 64 deep"}, 2},
      {"", "", "a=1", "array q{2}; z = q{x};", {"ERROR: Array subscript out of range", "for observation 3."}, 2},
      {"", "", "a=1", "_weight_ = .;", {kNoWeight}, 1},
      {"", "", "a=1", "_weight_ = 1 - x;", {kNoWeight}, 1},
      {"", "", "a=.", "", {"the parameter a has a missing starting value"}, 1},
  };
  write("d.csv", "x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n");
  for (const Case& c : cases) {
    write("p.ruva", std::string("proc ruva data=d ") + c.proc + "; parms " + c.parms + "; " + c.statements +
                        " model y = a*x; run;\n");
    const int status = run(std::string(c.args) + " p.ruva");
    const std::string log = read("log.txt");
    EXPECT_EQ(status, c.status) << c.statements << "\n" << log;
    for (const std::string said : c.said_once) {
      const auto at = log.find(said);
      EXPECT_NE(at, std::string::npos) << c.statements << ": " << said << "\n" << log;
      EXPECT_EQ(log.find(said, at + 1), std::string::npos) << c.statements << ": " << said << "\n" << log;
    }
  }
}

}  // namespace

// Deep statements of every shape compile, are differentiated and run at the
// nesting limits (the step's thread has the stack for them), and stop with
// the numbered error, status 2 and no crash one level beyond them.
TEST_F(RuvaBinaryTest, DeepStatementsRunAtTheLimitsAndStopBeyondThem) {
  write("d.csv", "x,y\n1,2.9\n2,5.1\n3,7.0\n4,9.2\n5,10.8\n");
  auto repeat = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  const std::string model = "model y = a*x + b;\n";
  struct Shape {
    const char* name;
    std::function<std::string(int)> statements;  // n levels deep
    int limit;                                   // the most levels that compile
    const char* beyond;                          // the error's text beyond it
  };
  const char* nesting = "nests more than 1000 levels";
  const char* depth = "more than 50000 operations deep";
  const Shape shapes[] = {
      {"parentheses", [&](int n) { return "model y = " + repeat("(", n) + "a*x+b" + repeat(")", n) + ";\n"; },
       999, nesting},
      {"prefix minus", [&](int n) { return "model y = b - " + repeat("-", n) + "a*x;\n"; }, 999, nesting},
      {"calls", [&](int n) { return "model y = b + " + repeat("log(1+", n) + "a*x" + repeat(")", n) + ";\n"; },
       999, nesting},
      {"IF", [&](int n) { return repeat("if x > 0 then ", n) + model; }, 999, nesting},
      {"DO", [&](int n) { return repeat("do; ", n) + model + repeat("end; ", n); }, 999, nesting},
      {"ELSE IF", [&](int n) {
         std::string s = "if x = 0 then z = 0;\n";
         for (int i = 1; i < n; ++i) s += "else if x = " + std::to_string(i) + " then z = 1;\n";
         return s + model;
       }, 999, nesting},
      {"sum", [&](int n) { return "model y = b" + repeat("+a*x", n) + ";\n"; }, 49998, depth},
      {"product", [&](int n) { return "model y = b" + repeat("*a", n) + ";\n"; }, 49999, depth},
  };
  for (const Shape& s : shapes) {
    for (int n : {s.limit, s.limit + 1}) {
      write("deep.ruva", "proc ruva data=d;\nparms a=1 b=0.5;\n" + s.statements(n) + "run;\n");
      const int status = run("deep.ruva");
      const std::string log = read("log.txt");
      if (n == s.limit) {
        EXPECT_LT(status, 2) << s.name << " at " << n << ":\n" << log.substr(0, 2000);
        EXPECT_EQ(log.find(s.beyond), std::string::npos) << s.name;
      } else {
        EXPECT_EQ(status, 2) << s.name << " beyond the limit";
        EXPECT_NE(log.find(s.beyond), std::string::npos) << s.name << ":\n" << log.substr(0, 2000);
      }
    }
  }
}

// Output data sets read as numbers in pandas without options (a missing value
// is an empty field), and files written by pandas' to_csv and R's write.csv,
// whose first header cell is empty, are read with that column as row names.
TEST_F(RuvaBinaryTest, CsvFilesAreSharedWithPandasAndR) {
  if (std::system("/usr/bin/python3 -c 'import pandas' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3-pandas is not installed (tools/deps.sh installs it)";
  write("d.csv", "x,y\n1,2.9\n2,5.1\n3,\n4,9.2\n5,10.8\n6,13.1\n");
  const std::string step = "  parms b0=0 b1=1;\n  model y = b0 + b1*x;\n";
  write("fit.ruva", "proc ruva data=d outest=e1;\n" + step + "  output out=o p=pred r=res;\nrun;\n");
  ASSERT_EQ(run("fit.ruva"), 0) << read("log.txt");
  write("export.py",
        "import pandas as pd\n"
        "o = pd.read_csv('o.csv')\n"
        "assert all(o[c].dtype.kind in 'if' for c in o.columns), o.dtypes\n"
        "assert list(o['res'].isna()) == [False, False, True, False, False, False], o\n"
        "o[['x', 'y']].to_csv('p.csv')\n"
        "with open('r.csv', 'w') as f:\n"
        "    f.write('\"\",\"x\",\"y\"\\n')\n"
        "    for i, (x, y) in enumerate(zip(o['x'], o['y'])):\n"
        "        f.write('\"%d\",%g,%s\\n' % (i + 1, x, 'NA' if pd.isna(y) else repr(y)))\n");
  ASSERT_EQ(std::system(("cd '" + dir_.string() + "' && /usr/bin/python3 export.py").c_str()), 0);
  write("fit2.ruva", "proc ruva data=p outest=e2;\n" + step + "run;\nproc ruva data=r outest=e3;\n" + step +
                         "run;\n");
  ASSERT_EQ(run("fit2.ruva"), 0) << read("log.txt");
  EXPECT_NE(read("log.txt").find("read as the character variable ROWNAME"), std::string::npos) << read("log.txt");
  write("compare.py",
        "import pandas as pd\n"
        "final = [pd.read_csv(f).query('_TYPE_ == \"FINAL\"') for f in ('e1.csv', 'e2.csv', 'e3.csv')]\n"
        "for f in final[1:]:\n"
        "    assert (f[['b0', 'b1']].values == final[0][['b0', 'b1']].values).all(), final\n");
  EXPECT_EQ(std::system(("cd '" + dir_.string() + "' && /usr/bin/python3 compare.py").c_str()), 0);
}

// The row names of such a file are text: the model cannot use them as a number.
TEST_F(RuvaBinaryTest, RowNamesUsedAsANumberAreNamedAsSuch) {
  write("rn.csv", ",x,y\nr1,1,2.1\nr2,2,3.9\nr3,3,6.2\n");
  write("rn.ruva", "proc ruva data=rn; parms a=1; model y = a*x + 0*rowname; run;\n");
  EXPECT_EQ(run("--work . rn.ruva"), 2);
  EXPECT_NE(read("log.txt").find("ERROR: The variable ROWNAME of the data set WORK.rn holds the row names or index "
                                 "written in the first column of ./rn.csv, so it is character and cannot be used as "
                                 "a number."),
            std::string::npos)
      << read("log.txt");
}

TEST_F(RuvaBinaryTest, WithSeveralProgramFilesAnErrorNamesItsFile) {
  write("d.csv", "x,y\n1,2\n2,4\n3,6.1\n");
  write("good.ruva", "proc ruva data=d;\n  parms b=1;\n  model y = b*x;\nrun;\n");
  write("bad.ruva", "proc ruva data=d;\n  parms b=1;\n  modle y = b*x;\nrun;\n");
  EXPECT_EQ(run("good.ruva bad.ruva"), 2);
  EXPECT_NE(read("log.txt").find("ERROR: bad.ruva, line 3, column 3:"), std::string::npos) << read("log.txt");
  EXPECT_EQ(run("bad.ruva"), 2);
  EXPECT_NE(read("log.txt").find("ERROR: Line 3, column 3:"), std::string::npos) << read("log.txt");
}

TEST_F(RuvaBinaryTest, AProfileWithNowhereToGoSaysSo) {
  write("d.csv", "x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n5,10.1\n");
  write("fit.ruva", "proc ruva data=d;\n  parms b=1;\n  model y = b*x;\n  profile b;\nrun;\n");
  EXPECT_EQ(run("fit.ruva"), 0) << read("log.txt");
  EXPECT_NE(read("log.txt").find("NOTE: The parameters are not profiled"), std::string::npos) << read("log.txt");
  EXPECT_EQ(run("--graphs g fit.ruva"), 0) << read("log.txt");
  EXPECT_EQ(read("log.txt").find("are not profiled"), std::string::npos) << read("log.txt");
}
