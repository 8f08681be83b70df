// The repository holds the sources, not what running them leaves behind:
// no tracked file is one that .gitignore ignores, and local fuzzing logs
// are ignored.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const std::string kGit = std::string("git -C '") + RUVA_SOURCE_DIR + "' ";

std::string output_of(const std::string& command) {
  std::string out;
  if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

TEST(Repository, TracksNoFileItIgnores) {
  if (std::system((kGit + "rev-parse --git-dir >/dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << "the sources are not a git checkout";
  EXPECT_EQ(output_of(kGit + "ls-files --cached --ignored --exclude-standard"), "");
  for (const char* log : {"fuzz-0.log", "fuzz/fuzz-12.log"})
    EXPECT_EQ(std::system((kGit + "check-ignore -q " + log).c_str()), 0) << log << " is not ignored";
}

}  // namespace
