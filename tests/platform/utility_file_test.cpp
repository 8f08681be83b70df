// Utility files: fixed-length records written, repositioned and read back,
// in memory and after moving to a temporary file.
#include "platform/datasets/utility_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <array>
#include <cstring>

#include "dataset_fixture.h"

namespace {

using UtilityFileTest = DataSetTest;
using Row = std::array<double, 5>;

XC_OPEN diagnostics_block() {
  XC_OPEN block{};
  std::memset(block.libname, ' ', 8);
  std::memcpy(block.memname, "UTILITY ", 8);
  std::memset(block.memtype, ' ', 8);
  block.flags = 0x82000008u;
  return block;
}

// Writes n rows, rewinds and reads them back; returns the file for checks.
XC_FILE* round_trip(int n) {
  XC_OPEN block = diagnostics_block();
  XC_FILE* file = nullptr;
  EXPECT_EQ(xcopen(&file, &block), 0);
  EXPECT_EQ(xcpoint(file, 0), 0);
  for (int i = 0; i < n; ++i) {
    Row r = {i * 1.0, i + 0.5, -i * 1.0, i * 0.25, 1e300 / (i + 1)};
    EXPECT_EQ(xcwrite(file, r.data(), 40), 0);
  }
  EXPECT_EQ(xcpoint(file, 0), 0);
  for (int i = 0; i < n; ++i) {
    Row r{};
    EXPECT_EQ(xcread(file, r.data(), 40), 0);
    EXPECT_EQ(r[0], i * 1.0);
    EXPECT_EQ(r[4], 1e300 / (i + 1));
  }
  Row extra{};
  EXPECT_EQ(xcread(file, extra.data(), 40), kXcEnd);
  return file;
}

TEST_F(UtilityFileTest, RecordsComeBackInOrderInMemoryAndFromATemporaryFile) {
  XC_FILE* small = round_trip(100);
  EXPECT_TRUE(small->in_memory());
  host().datasets().set_utility_memory_limit(4000);  // 100 records
  XC_FILE* big = round_trip(1000);
  EXPECT_FALSE(big->in_memory());
  EXPECT_EQ(big->records(), 1000);
  // Repositioning reads from any record.
  ASSERT_EQ(xcpoint(big, 998), 0);
  Row r{};
  ASSERT_EQ(xcread(big, r.data(), 40), 0);
  EXPECT_EQ(r[0], 998.0);
  EXPECT_EQ(xcclose(big, 1), 0);
  EXPECT_EQ(xcclose(small, 1), 0);
}

TEST_F(UtilityFileTest, MisuseGivesAStatusNotACrash) {
  XC_OPEN block = diagnostics_block();
  XC_FILE* file = nullptr;
  ASSERT_EQ(xcopen(&file, &block), 0);
  Row r{};
  ASSERT_EQ(xcwrite(file, r.data(), 40), 0);
  EXPECT_EQ(xcwrite(file, r.data(), 32), kXcBadLength);  // the first write fixed 40
  EXPECT_EQ(xcpoint(file, 5), kXcBadPosition);
  EXPECT_EQ(xcclose(file, 1), 0);
  // The handle of a closed file still answers, with a status.
  EXPECT_EQ(xcread(file, r.data(), 40), kXcBadHandle);
  EXPECT_EQ(xcclose(file, 1), kXcBadHandle);
  EXPECT_EQ(xcopen(&file, nullptr), kXcBadOpen);
  EXPECT_EQ(file, nullptr);
  xprrlog(0, kXcBadLength);
  EXPECT_NE(log_text().find("The record length differs"), std::string::npos);
}

// A temporary file that cannot grow (a full disk, here a file-size limit)
// fails the request that needed the room with a status.
TEST_F(UtilityFileTest, ATemporaryFileThatCannotGrowGivesAStatus) {
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit small = before;
  small.rlim_cur = 16 << 10;
  auto* const handler = std::signal(SIGXFSZ, SIG_IGN);  // writes fail with EFBIG instead
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  XC_OPEN block = diagnostics_block();
  Row r{};
  int moved = 0, grown = 0, read = 0;
  host().datasets().set_utility_memory_limit(40000);  // moved at record 1001, all at once
  XC_FILE* file = nullptr;
  xcopen(&file, &block);
  for (int i = 0; i < 1001 && moved == 0; ++i) moved = xcwrite(file, r.data(), 40);
  xcclose(file, 1);
  host().datasets().set_utility_memory_limit(4000);  // moved early, then grown
  xcopen(&file, &block);
  for (int i = 0; i < 1000 && grown == 0; ++i) grown = xcwrite(file, r.data(), 40);
  xcpoint(file, file->records() - 1);  // written to the buffer, lost with it
  read = xcread(file, r.data(), 40);
  xcclose(file, 1);
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, handler);
  EXPECT_EQ(moved, kXcIoFailed);
  EXPECT_EQ(grown, kXcIoFailed);
  EXPECT_EQ(read, kXcIoFailed);
}

}  // namespace
