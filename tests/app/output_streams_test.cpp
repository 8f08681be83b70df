// Outputs that are streams rather than files: the listing's standard
// output and the log's standard error, by whatever name, take no other
// output, and are written on as they stand, a socket or another user's
// pipe too; a named pipe gets the whole output once, or is refused at
// once when no process reads it, never waited on.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ruva_command.h"

namespace fs = std::filesystem;

namespace {

class OutputStreamsTest : public RuvaCommandTest {
 protected:
  OutputStreamsTest() {
    write("d.csv", "x,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n");
    write("p.ruva", "proc ruva data=d; parms a=1; model y = a*x; run;\n");
  }
};

TEST_F(OutputStreamsTest, AStreamTakesOneOutputByAnyName) {
  // run() sends the listing to listing.txt and the log to log.txt.
  const struct {
    const char* args;
    const char* message;
  } refused[] = {
      {"--html /dev/stderr", "--html and the log on standard error name the same file /dev/stderr."},
      {"--json /dev/stdout", "--json and the listing on standard output name the same file /dev/stdout."},
      {"--json /dev/fd/1", "--json and the listing on standard output name the same file /dev/fd/1."},
      {"--log /proc/self/fd/1", "--log and the listing on standard output name the same file /proc/self/fd/1."},
      {"--json listing.txt", "--json and the listing on standard output name the same file listing.txt."},
      {"--listing /dev/stderr", "--listing and the log on standard error name the same file /dev/stderr."},
  };
  for (const auto& c : refused) {
    EXPECT_EQ(run(std::string(c.args) + " p.ruva"), 2) << c.args;
    EXPECT_EQ(read("log.txt"), std::string("ERROR: ") + c.message + "\n") << c.args;
    EXPECT_EQ(read("listing.txt"), "") << c.args;
  }
  // Naming the stream an output has by default is naming that output.
  EXPECT_EQ(run("--listing /dev/stdout --log /dev/stderr p.ruva"), 0) << read("log.txt");
  EXPECT_NE(read("listing.txt").find("Parameter Estimates"), std::string::npos);
  EXPECT_NE(read("log.txt").find("NOTE: Return codes by step: 1: 0."), std::string::npos);
}

// An output named by a stream of the process writes on through it as the
// stream would: a file it appends to keeps what it held.
TEST_F(OutputStreamsTest, AnOutputThroughADescriptorTruncatesNothing) {
  for (const char* option : {"--listing", "--json", "--html"}) {
    write("kept.txt", "kept\n");
    EXPECT_EQ(run(std::string(option) + " /dev/fd/3 p.ruva 3>>kept.txt"), 0) << option << read("log.txt");
    EXPECT_EQ(read("kept.txt").substr(0, 5), "kept\n") << option;
    EXPECT_GT(read("kept.txt").size(), 1000u) << option;
  }
}

// Reads the pipe as a reader that stops at its first end of file does.
std::string read_to_end_of_file(int fd) {
  std::string got;
  char buffer[4096];
  for (pollfd p{fd, POLLIN, 0}; ::poll(&p, 1, 60000) > 0;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    else if (n == 0 && (p.revents & POLLHUP)) break;
  }
  return got;
}

TEST_F(OutputStreamsTest, APipeGetsTheWholeOutputOnceOrIsRefusedAtOnce) {
  const fs::path fifo = dir_ / "r.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const char* option : {"--html", "--log", "--json"}) {
    EXPECT_EQ(run(std::string(option) + " r.fifo p.ruva", 60), 2) << option;
    EXPECT_NE(read("log.txt").find(" r.fifo is a named pipe that no process reads."), std::string::npos) << option;
  }
  const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  std::string report;
  std::thread reader([&] { report = read_to_end_of_file(fd); });
  EXPECT_EQ(run("--html r.fifo p.ruva", 60), 0) << read("log.txt");
  reader.join();
  ::close(fd);
  EXPECT_EQ(report.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_EQ(report.find("<!DOCTYPE html>", 1), std::string::npos);
  EXPECT_EQ(report.substr(report.size() - 8), "</html>\n");
  // Two outputs into one pipe would interleave their lines.
  EXPECT_EQ(run("--json r.fifo --html ./r.fifo p.ruva", 60), 2);
  EXPECT_NE(read("log.txt").find("--json and --html name the same file r.fifo."), std::string::npos) << read("log.txt");
}

// A program read from a pipe can be read only once: the guard of the
// outputs, which reads the data sets the steps name, and the steps see the
// same text.
TEST_F(OutputStreamsTest, AProgramFromAPipeIsReadOnce) {
  const fs::path fifo = dir_ / "p.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const char* outputs : {"--json j.json", "--graphs g"}) {
    std::thread writer([&] { std::ofstream(fifo) << read("p.ruva"); });
    EXPECT_EQ(run(std::string(outputs) + " p.fifo", 30), 0) << outputs << "\n" << read("log.txt");
    writer.join();
    EXPECT_NE(read("listing.txt").find("Parameter Estimates"), std::string::npos) << outputs;
  }
}

// What the command wrote on its standard output and error, and its exit
// status.
struct Streams {
  int status = -1;
  std::string out, err;
};

class StreamOutputsTest : public OutputStreamsTest {
 protected:
  // Runs the command in the test folder, after `runner` (setpriv ...)
  // when one is given, its standard output and error each the end of a
  // socket pair, as a service manager hands them over, or else of a pipe
  // this process made; both are read to their end.
  Streams run_on(const std::vector<std::string>& args, bool sockets, std::vector<std::string> runner = {}) {
    int out[2], err[2];
    const bool made = sockets ? ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, out) == 0 &&
                                    ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, err) == 0
                              : ::pipe2(out, O_CLOEXEC) == 0 && ::pipe2(err, O_CLOEXEC) == 0;
    if (!made) return {};
    const pid_t child = start(args, std::move(runner), out[1], err[1]);
    ::close(out[1]);
    ::close(err[1]);
    Streams got;
    got.out = read_to_end_of_file(out[0]);
    got.err = read_to_end_of_file(err[0]);
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    got.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return got;
  }
};

constexpr char kDone[] = "NOTE: Return codes by step: 1: 0.\n";

// A socket (standard output and error under a service manager) cannot be
// opened again through /proc: the run writes on the descriptor it has,
// by any name of it, and a data set led there too, unless the listing
// is there.
TEST_F(StreamOutputsTest, AStreamIsWrittenOnAsItStands) {
  const char* const names[][2] = {{"--log", "/dev/stderr"},    {"--log", "/dev/fd/2"},
                                  {"--log", "/proc/self/fd/2"}, {"--listing", "/dev/stdout"},
                                  {"--listing", "/dev/fd/1"}};
  for (const auto& [option, name] : names) {
    const Streams got = run_on({option, name, "p.ruva"}, true);
    EXPECT_EQ(got.status, 0) << name << "\n" << got.err;
    EXPECT_NE(got.out.find("Parameter Estimates"), std::string::npos) << name;
    EXPECT_TRUE(got.err.ends_with(kDone)) << name << "\n" << got.err;
  }
  const Streams json = run_on({"--json", "/dev/stdout", "--listing", "l.lst", "p.ruva"}, true);
  EXPECT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(json.out.rfind("{\"type\":\"table\"", 0), 0u) << json.out;
  // The fit of y = a*x has a = sum(xy)/sum(xx) = 59.7/30 = 1.99.
  write("o.ruva", "proc ruva data=d; parms a=1; model y = a*x; output out=o p=p; run;\n");
  fs::create_symlink("/dev/stdout", dir_ / "o.csv");
  const Streams rows = run_on({"--listing", "l.lst", "o.ruva"}, true);
  EXPECT_EQ(rows.status, 0) << rows.err;
  EXPECT_EQ(rows.out.rfind("x,y,p\n1,2.1,1.99", 0), 0u) << rows.out;
  EXPECT_EQ(std::count(rows.out.begin(), rows.out.end(), '\n'), 5) << rows.out;
  // Not while the listing is there, on a socket or a pipe.
  for (const bool sockets : {true, false}) {
    const Streams refused = run_on({"o.ruva"}, sockets);
    EXPECT_EQ(refused.status, 2) << sockets;
    EXPECT_EQ(refused.out, "") << sockets;
    EXPECT_EQ(
        refused.err,
        "ERROR: The listing on standard output is the file o.csv of the data set WORK.o, which "
        "the run writes.\n");
  }
  // A stream open for reading only, or closed, is no output, and the file
  // behind it is left as it was.
  write("in.txt", "input\n");
  EXPECT_EQ(run("--log /dev/stdin p.ruva <in.txt"), 2);
  EXPECT_EQ(read("log.txt"), "ERROR: The log file cannot be written: the file /dev/stdin cannot be opened for "
                             "writing: it is open for reading only.\n");
  EXPECT_EQ(read("in.txt"), "input\n");
  EXPECT_EQ(run_after("sh -c 'exec \"$0\" \"$@\" >&-' ", "--listing /dev/stdout p.ruva"), 2);
  EXPECT_EQ(read("log.txt"),
            "ERROR: The listing file cannot be written: the file /dev/stdout cannot be opened for "
            "writing: standard output is closed.\n");
}

// Another user's run into pipes root made and handed it, which that user
// may not open again through /proc.
TEST_F(StreamOutputsTest, AnotherUsersRunWritesOnThePipesItWasHanded) {
  if (::geteuid() != 0 || std::system("setpriv --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "running as another user needs root and setpriv";
  // A build instrumented for coverage writes its counts under a folder of
  // that user's.
  fs::create_directories(dir_ / "counts");
  ASSERT_EQ(::chown((dir_ / "counts").c_str(), 65534, 65534), 0);
  const std::vector<std::string> nobody = {"env", "GCOV_PREFIX=" + (dir_ / "counts").string(), "setpriv",
                                           "--reuid=65534", "--regid=65534", "--clear-groups"};
  const Streams got = run_on({"--listing", "/dev/stdout", "--log", "/dev/stderr", "p.ruva"}, false, nobody);
  EXPECT_EQ(got.status, 0) << got.err;
  EXPECT_NE(got.out.find("Parameter Estimates"), std::string::npos);
  EXPECT_TRUE(got.err.ends_with(kDone)) << got.err;
  write("o.ruva", "proc ruva data=d; parms a=1; model y = a*x; output out=o p=p; run;\n");
  fs::create_symlink("/dev/stdout", dir_ / "o.csv");
  const Streams rows = run_on({"--listing", "/dev/null", "--log", "/dev/fd/2", "o.ruva"}, false, nobody);
  EXPECT_EQ(rows.status, 0) << rows.err;
  EXPECT_EQ(rows.out.rfind("x,y,p\n1,2.1,1.99", 0), 0u) << rows.out;
}

}  // namespace
