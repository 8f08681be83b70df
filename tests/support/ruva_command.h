// A scratch folder per test in which the built ruva command runs, with its
// listing and log captured in files there.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class RuvaCommandTest : public ::testing::Test {
 protected:
  RuvaCommandTest() {
    // A parameterised test's name holds a '/', which must not make a subfolder.
    std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    dir_ = std::filesystem::temp_directory_path() /
           ("ruva_e2e_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" + name);
    std::filesystem::create_directories(dir_);
  }
  ~RuvaCommandTest() override { std::filesystem::remove_all(dir_); }

  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name) << text;
  }
  std::string read(const std::string& name) {
    std::ifstream in(dir_ / name);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Runs the command in the test folder; returns its exit status.
  int run(const std::string& args) {
    const std::filesystem::path binary = std::filesystem::path(RUVA_BINARY_DIR) / "ruva";
    if (!std::filesystem::exists(binary)) {
      ADD_FAILURE() << binary << " is not built";
      return -1;
    }
    const std::string command = "cd '" + dir_.string() + "' && '" + binary.string() + "' " +
                                args + " >listing.txt 2>log.txt";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::filesystem::path dir_;
};
