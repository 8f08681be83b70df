// Outputs that are streams rather than files: the listing's standard
// output and the log's standard error, by whatever name, take no other
// output; a named pipe gets the whole output once, or is refused at once
// when no process reads it, never waited on.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

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

}  // namespace
