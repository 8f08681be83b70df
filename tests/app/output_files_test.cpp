// The files a run writes: an output named on the command line never
// overwrites a file the run reads or writes, even one a statement in error
// names, and is refused before anything is truncated; a graph file or the
// report replaces a link at its name; one that cannot be written leaves no
// part of itself behind and is named once; a graphs folder that takes no
// files stops the run before its first step; an existing output that the
// user may not replace is refused before it too.
#include <gtest/gtest.h>

#include <limits.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "support/ruva_command.h"

namespace fs = std::filesystem;

namespace {

class OutputFilesTest : public RuvaCommandTest {
 protected:
  OutputFilesTest() {
    write("d.csv", "x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n");
    write("d.meta.json", R"({"label": "four points"})");
    fs::create_directories(dir_ / "sub");
    write("sub/s.csv", "Parameter,Estimate\na,2\n");
    write("p.ruva", "proc ruva data=d outest=e plots=fit; parms a=1; model y = a*x; output out=o p=p; run;\n"
                    "proc ruva data=d; parms a=1 / pdata=in.s; model y = a*x; run;\n");
    write("keep.txt", "kept");
  }
  // How often `text` stands in `file`.
  int count(const std::string& file, const std::string& text) {
    const std::string s = read(file);
    int n = 0;
    for (auto at = s.find(text); at != std::string::npos; at = s.find(text, at + 1)) ++n;
    return n;
  }
};

TEST_F(OutputFilesTest, AnOutputThatWouldOverwriteWhatTheRunUsesIsRefusedFirst) {
  // A name longer than the system takes whole is compared name by name too.
  std::string far = ".";
  while (far.size() <= PATH_MAX) far += "/.";
  const std::string far_args = "--log " + far + "/d.csv";
  const std::string far_message = "--log names the file " + far + "/d.csv of the data set WORK.d, which the run reads.";
  const struct {
    const char* args;
    const char* message;
  } refused[] = {
      {"--html d.csv", "--html names the file d.csv of the data set WORK.d, which the run reads."},
      {"--html D.CSV", "--html names the file D.CSV of the data set WORK.d, which the run reads."},
      {"--log ./d.meta.json", "--log names the description ./d.meta.json of the data set WORK.d, which the run reads."},
      {"--json sub/s.csv", "--json names the file sub/s.csv of the data set IN.s, which the run reads."},
      {"--json o.csv", "--json names the file o.csv of the data set WORK.o, which the run writes."},
      {"--html e.meta.json", "--html names the description e.meta.json of the data set WORK.e, which the run writes."},
      {"--log p.ruva", "--log names the program file p.ruva."},
      {"--json j.txt --html ./j.txt", "--json and --html name the same file j.txt."},
      {"--graphs g --log g/step1_FitPlot.svg", "--log names g/step1_FitPlot.svg, a graph file of --graphs g."},
      // Every check comes before any output is opened or a folder made.
      {"--json nodir/x.json",
       "The JSON file cannot be written: no file can be created in the folder nodir: No such file or directory."},
      {"--graphs g2 --html nodir/r.html", "The report cannot be written: no file can be created in the folder nodir"},
      {far_args.c_str(), far_message.c_str()},
  };
  for (const auto& c : refused) {
    // The listing is named first: a refusal must not have truncated it.
    EXPECT_EQ(run(std::string("--listing keep.txt --lib in=sub ") + c.args + " p.ruva"), 2) << c.args;
    EXPECT_EQ(count("log.txt", c.message), 1) << read("log.txt");
    EXPECT_EQ(read("keep.txt"), "kept") << c.args;
    EXPECT_EQ(read("d.csv"), "x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n") << c.args;
    EXPECT_EQ(read("d.meta.json"), R"({"label": "four points"})") << c.args;
    EXPECT_EQ(read("sub/s.csv"), "Parameter,Estimate\na,2\n") << c.args;
    EXPECT_FALSE(fs::exists(dir_ / "o.csv")) << c.args;
    EXPECT_FALSE(fs::exists(dir_ / "j.txt")) << c.args;
    EXPECT_FALSE(fs::exists(dir_ / "g2")) << c.args;
  }
  // Devices replace nothing and may be shared.
  EXPECT_EQ(run("--listing /dev/null --log /dev/null --json /dev/null --lib in=sub p.ruva"), 0);
  EXPECT_TRUE(fs::exists(dir_ / "o.csv"));
}

// A statement in error still names its data sets, whatever the error and
// whichever step or statement holds it: the guard reads them from the
// options as written.
TEST_F(OutputFilesTest, AStatementInErrorLeavesItsDataSetsGuarded) {
  const std::string fit = "proc ruva data=d; parms a=1; model y = a*x; ";
  const struct {
    std::string program;
    const char* args;
    const char* message;
  } refused[] = {
      {"proc ruva data=d alpha=2; parms a=1; model y = a*x; run;", "--listing d.csv",
       "--listing names the file d.csv of the data set WORK.d, which the run reads."},
      {"proc ruva data=d bogus=1; parms a=1; model y = a*x; run;", "--log d.meta.json",
       "--log names the description d.meta.json of the data set WORK.d, which the run reads."},
      {"proc ruva data=d; parms a=1 / pdata=in.s bogus=1; model y = a*x; run;", "--json sub/s.csv",
       "--json names the file sub/s.csv of the data set IN.s, which the run reads."},
      {"proc ruva data=d; parmz a=1 / pdata=in.s; model y = a*x; run;", "--html sub/S.CSV",
       "--html names the file sub/S.CSV of the data set IN.s, which the run reads."},
      {"proc ruva data=d outest=e plots=(fit; parms a=1; model y = a*x; run;", "--json e.csv",
       "--json names the file e.csv of the data set WORK.e, which the run writes."},
      {"proc ruva data=d outest=e label='open; parms a=1; model y = a*x; run;", "--json e.meta.json",
       "--json names the description e.meta.json of the data set WORK.e, which the run writes."},
      {fit + "output out=o p=p / alpha=3; run;", "--json o.csv",
       "--json names the file o.csv of the data set WORK.o, which the run writes."},
      {fit + "profile a / profdata=pf alpha=7; run;", "--log pf.csv",
       "--log names the file pf.csv of the data set WORK.pf, which the run writes."},
      {fit + "bootstrap / data=bd bogus; run;", "--html bd.csv",
       "--html names the file bd.csv of the data set WORK.bd, which the run writes."},
      {fit + "run;\nproc ruva data=d outest=e2 maxiter=-5; parms a=1; model y = a*x; run;", "--json e2.csv",
       "--json names the file e2.csv of the data set WORK.e2, which the run writes."},
  };
  for (const auto& c : refused) {
    write("e.ruva", c.program + "\n");
    EXPECT_EQ(run(std::string("--lib in=sub ") + c.args + " e.ruva"), 2) << c.program;
    EXPECT_EQ(count("log.txt", std::string("ERROR: ") + c.message), 1) << c.program << "\n" << read("log.txt");
    EXPECT_EQ(read("d.csv"), "x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n") << c.args;
    EXPECT_EQ(read("d.meta.json"), R"({"label": "four points"})") << c.args;
    EXPECT_EQ(read("sub/s.csv"), "Parameter,Estimate\na,2\n") << c.args;
  }
}

// A graph file or the report replaces a link at its name, symbolic or hard,
// and leaves what it linked to alone; a program named as a graph file is
// refused before the first step.
TEST_F(OutputFilesTest, GraphFilesAndTheReportReplaceALinkAtTheirName) {
  fs::create_directories(dir_ / "g");
  fs::create_symlink("../d.csv", dir_ / "g/step1_FitPlot.svg");
  fs::create_hard_link(dir_ / "p.ruva", dir_ / "g/step2_FitPlot.svg");
  fs::create_symlink("keep.txt", dir_ / "r.html");
  write("q.ruva", "proc ruva data=d plots=fit; parms a=1; model y = a*x; run;\n"
                  "proc ruva data=d plots=fit; parms a=1; model y = a*x; run;\n");
  const std::string program = read("p.ruva");
  EXPECT_EQ(run("--graphs g --html r.html q.ruva"), 0) << read("log.txt");
  EXPECT_EQ(read("d.csv"), "x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n");
  EXPECT_EQ(read("p.ruva"), program);
  EXPECT_EQ(read("keep.txt"), "kept");
  for (const char* file : {"g/step1_FitPlot.svg", "g/step2_FitPlot.svg", "r.html"}) {
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir_ / file))) << file;
    EXPECT_EQ(fs::hard_link_count(dir_ / file), 1u) << file;
  }
  EXPECT_EQ(read("r.html").substr(0, 15), "<!DOCTYPE html>");

  write("g/step1_FitPlot.svg", read("q.ruva"));
  EXPECT_EQ(run("--graphs g g/step1_FitPlot.svg"), 2);
  EXPECT_EQ(read("g/step1_FitPlot.svg"), read("q.ruva"));
  EXPECT_EQ(count("log.txt", "ERROR: The program file g/step1_FitPlot.svg has the name of a graph file of --graphs "
                             "g, which would replace it."),
            1)
      << read("log.txt");
}

// A graph file replaces a link at its name: a program, a data set or an
// output reached through a link that stands there would be lost with it.
TEST_F(OutputFilesTest, ALinkAtAGraphFilesNameIsRefusedForWhatItLeadsTo) {
  fs::create_directories(dir_ / "g");
  write("g/step1_FitPlot.svg", "proc ruva data=d plots=fit; parms a=1; model y = a*x; run;\n");
  write("g/step1_by1_FitPlot.svg", read("d.csv"));
  fs::create_symlink("g/step1_FitPlot.svg", dir_ / "q.ruva");
  fs::create_symlink("q.ruva", dir_ / "qq.ruva");
  fs::create_symlink("g/step1_by1_FitPlot.svg", dir_ / "l.csv");
  fs::create_symlink("g/step2_FitPlot.svg", dir_ / "out.lst");
  write("l.ruva", "proc ruva data=l plots=fit; parms a=1; model y = a*x; run;\n");
  const struct {
    const char* args;
    const char* subject;  // the data set's file is named as the library finds it
    const char* graph;
  } refused[] = {
      {"q.ruva", "ERROR: The program file q.ruva", "g/step1_FitPlot.svg"},
      {"qq.ruva", "ERROR: The program file qq.ruva", "g/step1_FitPlot.svg"},
      {"l.ruva", "l.csv of the data set WORK.l", "g/step1_by1_FitPlot.svg"},
      {"--listing out.lst p.ruva", "ERROR: The --listing file out.lst", "g/step2_FitPlot.svg"},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(run(std::string("--graphs g ") + c.args), 2) << c.args;
    EXPECT_EQ(count("log.txt", std::string(c.subject) + " leads through a link to "), 1) << read("log.txt");
    EXPECT_EQ(count("log.txt", std::string(c.graph) + ", a graph file of --graphs g, which would replace it."), 1);
    EXPECT_EQ(read("g/step1_by1_FitPlot.svg"), read("d.csv"));
    EXPECT_EQ(read("g/step1_FitPlot.svg").substr(0, 9), "proc ruva");
    EXPECT_FALSE(fs::exists(dir_ / "g/step2_FitPlot.svg"));
  }
}

// Files larger than 12 KB cannot be written here, as on a full disk: some
// graphs fail, and so does the report.
TEST_F(OutputFilesTest, FilesThatFailLeaveNothingBehindAndAreNamedOnce) {
  write("g.ruva", "proc ruva data=d plots=all; parms a=1; model y = a*x; profile a / all; run;\n");
  write("r.html", "an earlier report");
  const int status = run_here_with_file_limit("--graphs g --html r.html g.ruva", 12 << 10, SIG_IGN);
  keep_captured();

  EXPECT_EQ(status, 2) << read("log.txt");
  int written = 0, failed = 0;
  for (const auto& entry : fs::directory_iterator(dir_ / "g")) {
    const std::string name = entry.path().filename().string(), svg = read("g/" + name);
    EXPECT_EQ(name.front(), 's') << "a temporary file is left: " << name;
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n") << name << " is cut short";
    EXPECT_EQ(count("listing.txt", ": g/" + name), 1) << name;
    ++written;
  }
  const std::string graph_failure = "was not written: writing g/";
  for (std::string log = read("log.txt"); log.find(graph_failure) != std::string::npos;
       log.erase(0, log.find(graph_failure) + 1))
    ++failed;
  EXPECT_GT(written, 0);
  EXPECT_GT(failed, 0);
  // Each failing file once in the log and once in the listing.
  EXPECT_EQ(count("listing.txt", graph_failure), failed);
  EXPECT_EQ(count("log.txt", "WARNING: The graph "), failed);
  EXPECT_EQ(read("r.html"), "an earlier report");
  EXPECT_EQ(count("log.txt", "ERROR: The report was not written: writing r.html failed: File too large."), 1);
  EXPECT_EQ(count("log.txt", "Return codes by step: 1: 4."), 1) << read("log.txt");
}

// Converged bootstrap samples beyond 1 MB are kept in a file; when that
// file cannot be written (files over 64 KB fail here), the bootstrap has no
// results: one ERROR says why, with the system's reason, and the step ends
// with 1012.
TEST_F(OutputFilesTest, SamplesThatCannotBeKeptLeaveTheBootstrapWithoutResults) {
  write("d.csv", "conc,rate\n0.02,76\n0.02,47\n0.06,97\n0.06,107\n0.11,123\n0.11,139\n0.22,159\n0.22,152\n"
                 "0.56,191\n0.56,201\n1.10,207\n1.10,200\n");
  write("b.ruva", "proc ruva data=d nthreads=4; parms Vm=200 K=0.05; model rate = Vm*conc/(K+conc);"
                  " bootstrap / seed=1 nsamples=30000; run;\n");
  const int status = run_here_with_file_limit("b.ruva", 64 << 10, SIG_IGN);
  keep_captured();
  EXPECT_EQ(status, 2) << read("log.txt");
  EXPECT_EQ(count("log.txt", "ERROR: The bootstrap results are missing: the record file of the converged samples "
                             "could not be written: File too large."),
            1);
  EXPECT_EQ(count("log.txt", "ERROR"), 1);
  EXPECT_EQ(count("log.txt", "Return codes by step: 1: 1012."), 1) << read("log.txt");
}

// Every program file is read before any output is opened: one that cannot
// be read, after a good one, leaves every output of the earlier run as it
// was, byte for byte.
TEST_F(OutputFilesTest, AProgramThatCannotBeReadChangesNoOutput) {
  const std::string outputs = "--lib in=sub --listing n.lst --log n.log --json n.json --html n.html --graphs ng p.ruva ";
  ASSERT_EQ(run(outputs), 0) << read("n.log");
  auto files = [&] {
    std::map<std::string, std::string> contents;
    for (const char* file : {"n.lst", "n.log", "n.json", "n.html", "e.csv"}) contents[file] = read(file);
    for (const auto& entry : fs::directory_iterator(dir_ / "ng"))
      contents[entry.path().filename().string()] = read("ng/" + entry.path().filename().string());
    return contents;
  };
  const auto before = files();
  ASSERT_GT(before.size(), 5u);
  fs::create_directories(dir_ / "folder.ruva");
  const struct {
    const char* program;
    const char* message;
  } unreadable[] = {
      {"typo.ruva", "ERROR: The program file typo.ruva cannot be read."},
      {"folder.ruva", "ERROR: The program file folder.ruva is a folder; name a program file."},
      {"/proc/self/mem", "ERROR: The program file /proc/self/mem cannot be read."},  // a read that fails
  };
  for (const auto& c : unreadable) {
    EXPECT_EQ(run(outputs + c.program), 2) << c.program;
    EXPECT_EQ(read("log.txt"), std::string(c.message) + "\n");
    EXPECT_TRUE(files() == before) << c.program;
  }
}

TEST_F(OutputFilesTest, AGraphsFolderThatTakesNoFilesStopsTheRunOnce) {
  // /proc/self is a folder in which no file can be made, even by root.
  EXPECT_EQ(run("--graphs /proc/self p.ruva"), 2);
  EXPECT_EQ(count("log.txt", "ERROR: The graphs cannot be written: no file can be created in the folder /proc/self"), 1)
      << read("log.txt");
  EXPECT_EQ(count("log.txt", "Return codes"), 0) << read("log.txt");
  EXPECT_FALSE(fs::exists(dir_ / "e.csv"));
}

// A name with a trailing separator names a folder, as the system takes
// it: an output so named makes or replaces no file of the name before it,
// nor does a data set whose link ends so; all are refused, as a file is
// where a folder is asked for ("Not a directory").
TEST_F(OutputFilesTest, ANameWithATrailingSeparatorNamesNoFile) {
  write("n.ruva", "proc ruva data=d; parms a=1; model y = a*x; run;\n");
  const std::string refused = " cannot be written: no file can be created in the folder out: Not a directory.\n";
  const std::pair<const char*, const char*> outputs[] = {
      {"--json", "The JSON file"}, {"--log", "The log file"}, {"--listing", "The listing file"}, {"--html", "The report"}};
  for (const auto& [option, what] : outputs)
    for (const bool earlier : {false, true}) {
      fs::remove(dir_ / "out");
      if (earlier) write("out", "earlier");
      EXPECT_EQ(run(std::string(option) + " out/ n.ruva"), 2) << option;
      EXPECT_EQ(read("log.txt"), "ERROR: " + std::string(what) + refused) << option;
      EXPECT_EQ(fs::exists(dir_ / "out") ? read("out") : "none", earlier ? "earlier" : "none") << option;
    }
  write("e.ruva", "proc ruva data=d outest=e; parms a=1; model y = a*x; run;\n");
  fs::create_symlink("nodir/", dir_ / "e.csv");
  EXPECT_EQ(run("e.ruva"), 2);
  EXPECT_EQ(read("log.txt"), "ERROR: The data set WORK.e cannot be written: the file nodir cannot be made: Not a "
                             "directory.\n");
  EXPECT_FALSE(fs::exists(dir_ / "nodir"));
}

// On a read-only file system even root may replace nothing: the refusal
// gives the system's reason, not a right this user lacks.
TEST_F(OutputFilesTest, AnOutputOnAReadOnlyFileSystemIsRefusedWithTheSystemsReason) {
  fs::create_directories(dir_ / "ro");
  const std::string ro = (dir_ / "ro").string();
  if (std::system(("mount -t tmpfs -o size=64k tmpfs '" + ro + "' 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "mounting a file system needs root";
  write("ro/e.csv", "old");
  const bool read_only = std::system(("mount -o remount,ro '" + ro + "'").c_str()) == 0;
  if (read_only) {
    EXPECT_EQ(run("--work ro p.ruva"), 2);
    EXPECT_NE(read("log.txt").find("ERROR: The data set WORK.e cannot be written: the file ro/e.csv may not be "
                                   "replaced: Read-only file system."),
              std::string::npos)
        << read("log.txt");
    EXPECT_EQ(run("--graphs ro/g p.ruva"), 2);
    EXPECT_EQ(read("log.txt"), "ERROR: The graphs folder ro/g cannot be made: Read-only file system.\n");
  }
  std::system(("umount '" + ro + "'").c_str());
  ASSERT_TRUE(read_only) << "the file system could not be made read-only";
}

// Run as another user (nobody): an existing output that user may not write,
// or may not replace in its folder (a folder closed to it, a sticky folder
// where neither the folder nor the file is its own), is refused before the
// first step, named, and kept as it was. Root replaces it as ever. The
// listing and the log, written in place, need only the file's rights.
TEST_F(OutputFilesTest, AnOutputTheUserMayNotReplaceIsRefusedBeforeTheFirstStep) {
  if (::geteuid() != 0 || std::system("setpriv --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "running as another user needs root and setpriv";
  // A build instrumented for coverage writes its counts at exit: as nobody,
  // under a folder of that user's (GCOV_PREFIX), where the build's own
  // would refuse them and fill standard error with the complaint.
  fs::create_directories(dir_ / "counts");
  ASSERT_EQ(::chown((dir_ / "counts").c_str(), 65534, 65534), 0);
  const std::string nobody =
      "GCOV_PREFIX='" + (dir_ / "counts").string() + "' setpriv --reuid=65534 --regid=65534 --clear-groups ";
  const std::string sticky = "the folder . is sticky, and neither it nor the file belongs to this user";
  write("q.ruva", "proc ruva data=d plots=fit; parms a=1; model y = a*x; run;\n");
  write("qe.ruva", "proc ruva data=d outest=e; parms a=1; model y = a*x; run;\n");
  write("qc.ruva", "proc ruva data=d outest=c.e; parms a=1; model y = a*x; run;\n");
  write("qn.ruva", "proc ruva data=d outest=new; parms a=1; model y = a*x; run;\n");
  for (const char* folder : {"t", "t/g", "c", "n", "s"}) fs::create_directories(dir_ / folder);
  for (const char* folder : {"t", "t/g", "s"}) fs::permissions(dir_ / folder, fs::perms(01777));
  fs::permissions(dir_ / "c", fs::perms(0755));
  for (const char* folder : {"n", "s"}) ASSERT_EQ(::chown((dir_ / folder).c_str(), 65534, 65534), 0);
  for (const char* folder : {"t", "c"}) fs::copy_file(dir_ / "d.csv", dir_ / folder / "d.csv");
  const char* old_files[] = {"t/r.html", "t/e.csv", "t/g/step1_FitPlot.svg", "c/e.csv", "n/r.html",
                             "t/l.log", "t/j.json", "c/l.lst", "n/l.lst", "s/l.log"};
  for (const char* file : old_files) {
    write(file, "old");
    fs::permissions(dir_ / file, fs::perms(0666));
  }
  ASSERT_EQ(::chown((dir_ / "n/r.html").c_str(), 65534, 65534), 0);
  fs::permissions(dir_ / "n/r.html", fs::perms(0444));
  fs::permissions(dir_ / "n/l.lst", fs::perms(0444));
  const struct {
    const char* args;
    const char* file;
    std::string message;
  } refused[] = {
      {"--html r.html ../q.ruva", "t/r.html", "The report cannot be written: the file r.html may not be replaced: " + sticky},
      {"--html ../n/r.html ../q.ruva", "n/r.html",
       "The report cannot be written: the file ../n/r.html may not be replaced: this user may not write it"},
      {"--work . ../qe.ruva", "t/e.csv", "The data set WORK.e cannot be written: the file "},
      {"--work . --lib c=../c ../qc.ruva", "c/e.csv", "may not be replaced: this user may not replace files in the folder "},
      {"--work ../c ../qn.ruva", "c/e.csv",
       "The data set WORK.new cannot be written: no file can be created in the folder ../c: Permission denied."},
      {"--graphs g ../q.ruva", "t/g/step1_FitPlot.svg",
       "The graphs cannot be written: the file g/step1_FitPlot.svg may not be replaced: the folder g is sticky"},
      {"--json j.json ../q.ruva", "t/j.json", "The JSON file cannot be written: the file j.json may not be replaced: " + sticky},
      // Written in place: the file must take the open.
      {"--listing ../n/l.lst ../q.ruva", "n/l.lst",
       "The listing file cannot be written: the file ../n/l.lst cannot be opened for writing: Permission denied."},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(run_after("cd t && " + nobody, c.args), 2) << c.args;
    const std::string log = read("t/log.txt");
    EXPECT_EQ(log.rfind("ERROR: " + (c.message.front() == 'T' ? c.message : ""), 0), 0u) << c.args << "\n" << log;
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    EXPECT_EQ(count("t/log.txt", "\n"), 1) << log;  // the ERROR alone: no step ran
    EXPECT_EQ(read(c.file), "old") << c.args;
  }
  EXPECT_EQ(run_after("cd t && ", "--html r.html ../q.ruva"), 0);
  EXPECT_EQ(read("t/r.html").rfind("<!DOCTYPE html>", 0), 0u);
  // A listing or log this user may write is written in place, in a folder
  // it may not write (c) or replace files in (t); a new one needs a folder
  // that takes files.
  EXPECT_EQ(run_after("cd t && " + nobody, "--log l.log --listing ../c/l.lst ../q.ruva"), 0) << read("t/log.txt");
  EXPECT_NE(read("t/l.log").find("NOTE: Return codes by step: 1: 0."), std::string::npos) << read("t/l.log");
  EXPECT_NE(read("c/l.lst").find("Parameter Estimates"), std::string::npos);
  // In a sticky folder that others may write, an existing file neither this
  // user's nor the folder owner's may be opened to be made only where the
  // kernel's protected_regular allows it.
  std::ifstream setting("/proc/sys/fs/protected_regular");
  int level = 1;
  setting >> level;
  EXPECT_EQ(run_after("cd t && " + nobody, "--log ../s/l.log ../q.ruva"), level > 0 ? 2 : 0);
  if (level > 0)
    EXPECT_NE(read("t/log.txt").find("the folder ../s is sticky, and the file belongs neither to this user nor to "
                                     "the folder's owner."),
              std::string::npos);
  else
    EXPECT_NE(read("s/l.log").find("Return codes by step: 1: 0."), std::string::npos);
  EXPECT_EQ(run_after("cd t && " + nobody, "--listing ../c/new.lst ../q.ruva"), 2);
  EXPECT_EQ(read("t/log.txt"), "ERROR: The listing file cannot be written: no file can be created in the folder ../c: "
                               "Permission denied.\n");
}

}  // namespace
