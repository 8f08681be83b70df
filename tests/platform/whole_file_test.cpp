// Files written whole or not at all: the target changes only at the commit,
// a failure leaves the old file and no temporary file behind, a link is
// followed and a device is written in place, and a name as long as the
// file system allows is written.
#include "platform/datasets/whole_file.h"
#include "platform/datasets/temporary_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using platform::ds::WholeFile;
using platform::ds::write_whole_file;

class WholeFileTest : public ::testing::Test {
 protected:
  WholeFileTest() {
    std::string pattern = (fs::temp_directory_path() / "ruva-whole-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
  }
  ~WholeFileTest() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string read(const fs::path& file) const {
    std::ostringstream ss;
    ss << std::ifstream(file, std::ios::binary).rdbuf();
    return ss.str();
  }
  int entries() const {
    int n = 0;
    for (const auto& e : fs::directory_iterator(dir_)) n += e.exists();
    return n;
  }
  fs::path dir_;
};

TEST_F(WholeFileTest, TheTargetChangesOnlyAtTheCommit) {
  const fs::path target = dir_ / "t.csv";
  std::ofstream(target) << "old";
  WholeFile file;
  std::string why;
  ASSERT_TRUE(file.open(target, &why)) << why;
  ASSERT_TRUE(file.write("new", &why));
  ASSERT_TRUE(file.finish(true, &why));
  EXPECT_EQ(read(target), "old");
  ASSERT_TRUE(file.commit(&why));
  EXPECT_EQ(read(target), "new");
  EXPECT_EQ(entries(), 1);
}

TEST_F(WholeFileTest, ALinkIsFollowedAndDevicesAreWrittenInPlace) {
  const fs::path real = dir_ / "real.csv", link = dir_ / "link.csv";
  std::ofstream(real) << "old";
  fs::create_symlink(real, link);
  std::string why;
  ASSERT_TRUE(write_whole_file(link, "new", true, &why)) << why;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(read(real), "new");
  EXPECT_TRUE(write_whole_file("/dev/null", "x", true, &why)) << why;
  EXPECT_FALSE(write_whole_file("/dev/full", "x", true, &why));
  EXPECT_EQ(why, "writing /dev/full failed: No space left on device");
  fs::create_directory(dir_ / "folder");
  EXPECT_FALSE(write_whole_file(dir_ / "folder", "x", false, &why));
  EXPECT_EQ(why, "the file " + (dir_ / "folder").string() + " cannot be opened for writing: Is a directory");
}

// The temporary file's name is no longer for a longer target: a name of
// NAME_MAX bytes is written, whether it replaces a file or a link.
TEST_F(WholeFileTest, ANameAsLongAsTheFileSystemAllowsIsWritten) {
  const long longest = ::pathconf(dir_.c_str(), _PC_NAME_MAX);
  ASSERT_GT(longest, 20);
  for (const auto at_link : {platform::ds::AtLink::Follow, platform::ds::AtLink::Replace}) {
    const fs::path target = dir_ / std::string(static_cast<std::size_t>(longest), 'a');
    std::ofstream(target) << "old";
    std::string why;
    EXPECT_TRUE(write_whole_file(target, "new", false, &why, at_link)) << why;
    EXPECT_EQ(read(target), "new");
    EXPECT_EQ(entries(), 1);
  }
}

// Each failure names the file and leaves what was there before.
TEST_F(WholeFileTest, FailuresLeaveTheOldFileAndNoTemporaryFile) {
  const fs::path target = dir_ / "t.csv";
  std::ofstream(target) << "old";
  WholeFile file;
  std::string why;
  EXPECT_FALSE(file.write("x", &why));
  EXPECT_NE(why.find("is not open"), std::string::npos);
  ASSERT_TRUE(file.open(target, &why));
  ASSERT_TRUE(file.write("x", &why));
  EXPECT_FALSE(file.commit(&why));  // not finished
  EXPECT_EQ(why, "the file " + target.string() + " is not complete");
  EXPECT_FALSE(file.finish(false, &why));  // abandoned: nothing open
  EXPECT_EQ(why, "the file " + target.string() + " is not open");
  EXPECT_EQ(entries(), 1);

  ASSERT_TRUE(file.open(target, &why));
  ASSERT_TRUE(file.write("new", &why) && file.finish(false, &why));
  fs::remove(target);
  fs::create_directories(target / "inside");  // a folder where the file was
  EXPECT_FALSE(file.commit(&why));
  EXPECT_EQ(why.rfind("the file " + target.string() + " cannot be replaced: ", 0), 0u) << why;
  EXPECT_EQ(entries(), 1);
  EXPECT_TRUE(fs::is_directory(target / "inside"));
}

}  // namespace

// The target is looked at once: its folder swapped for a link after the
// open, the file still takes its name in the folder the open found.
TEST_F(WholeFileTest, AFolderSwappedForALinkAfterTheOpenLeadsNoFileAway) {
  fs::create_directories(dir_ / "sub");
  fs::create_directories(dir_ / "elsewhere");
  WholeFile file;
  std::string why;
  ASSERT_TRUE(file.open(dir_ / "sub/t.csv", &why)) << why;
  fs::rename(dir_ / "sub", dir_ / "moved");
  fs::create_symlink("elsewhere", dir_ / "sub");
  ASSERT_TRUE(file.write("new", &why) && file.finish(true, &why) && file.commit(&why)) << why;
  EXPECT_EQ(read(dir_ / "moved/t.csv"), "new");
  EXPECT_TRUE(fs::is_empty(dir_ / "elsewhere"));
}

// A link to a folder on the way is named as written, one at the last name
// as its target reads from the link's folder; a stream of the process is
// told by the descriptor it reaches.
TEST_F(WholeFileTest, TheLookNamesFilesAsTheLinksGiveThem) {
  fs::create_directories(dir_ / "real/sub");
  fs::create_symlink("real", dir_ / "wk");
  fs::create_symlink("../x.csv", dir_ / "real/sub/l.csv");
  const platform::ds::ResolvedPath through = platform::ds::resolve_path(dir_ / "wk/sub/l.csv");
  EXPECT_EQ(through.shown(), dir_ / "wk/sub/../x.csv");
  EXPECT_TRUE(through.ok() && through.linked && !through.exists);
  EXPECT_EQ(through.folder_real, fs::canonical(dir_ / "real"));
  EXPECT_EQ(platform::ds::resolve_path("/dev/stderr").stream, 2);
  EXPECT_TRUE(platform::ds::resolve_path("/dev/stderr", platform::ds::AtLink::Replace).in_place());
}

namespace {

// A name that another process changes between the look and the open is
// refused, and the reason says what happened to it.
TEST_F(WholeFileTest, ANameChangedBetweenTheLookAndTheOpenSaysHow) {
  using platform::ds::open_found;
  using platform::ds::resolve_path;
  std::string why;
  const auto absent = resolve_path(dir_ / "made.lst");
  std::ofstream(dir_ / "made.lst") << "";
  EXPECT_EQ(open_found(absent, O_WRONLY, &why), -1);
  EXPECT_EQ(why, "another process put a file there as the run made it");
  const auto absent_too = resolve_path(dir_ / "made.log");
  fs::create_symlink("made.lst", dir_ / "made.log");
  EXPECT_EQ(open_found(absent_too, O_WRONLY, &why), -1);
  EXPECT_EQ(why, "another process put a link there as the run made it");
  const auto removed = resolve_path(dir_ / "made.lst");
  fs::remove(dir_ / "made.lst");
  EXPECT_EQ(open_found(removed, O_WRONLY, &why), -1);
  EXPECT_EQ(why, "another process removed the file as the run opened it");
  std::ofstream(dir_ / "made.lst") << "";
  const auto linked = resolve_path(dir_ / "made.lst");
  fs::remove(dir_ / "made.lst");
  fs::create_symlink("elsewhere", dir_ / "made.lst");
  EXPECT_EQ(open_found(linked, O_WRONLY, &why), -1);
  EXPECT_EQ(why, "another process put a link there as the run opened it");
}

// A temporary file's name that a process of this number left behind
// (killed outright, its number reused since) is passed over for the next.
TEST_F(WholeFileTest, ATemporaryNameLeftByAKilledProcessIsPassedOver) {
  const fs::path target = dir_ / "t.csv";
  // What killed runs of this process's number would have left under the
  // names once counted from it: none of them stands in the way.
  const std::string counted = ".ruva-" + std::to_string(::getpid()) + "-";
  for (int n = 1; n <= 5; ++n) std::ofstream(dir_ / (counted + std::to_string(n))) << "left";
  std::string why;
  ASSERT_TRUE(write_whole_file(target, "new", false, &why)) << why;
  EXPECT_EQ(read(target), "new");
  EXPECT_EQ(entries(), 6);
}

// A signal removes every temporary file, however many a run writes at once
// (a step with hundreds of data sets and their descriptions): the stop is
// made in a child, as it ends the process's temporary files for good.
TEST_F(WholeFileTest, AStopRemovesEveryTemporaryFileHoweverMany) {
  const auto stop_with_files = [this](int count) {
    const int folder = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < count; ++i) {
      int ticket = -1;
      if (!platform::ds::create_temporary(folder, (".t" + std::to_string(i)).c_str(), &ticket) || ticket < 0) return 1;
    }
    if (entries() != count) return 2;
    platform::ds::remove_temporaries();
    return entries() == 0 ? 0 : 3;
  };
  EXPECT_EXIT(std::_Exit(stop_with_files(600)), ::testing::ExitedWithCode(0), "");
}

}  // namespace
