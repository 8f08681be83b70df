// What the benchmarks that run the ruva binary share: a scratch folder
// removed at exit, the binary under test, and files written there.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace binary_runs {

namespace fs = std::filesystem;

// Removes the folder at exit.
struct RemovedAtExit {
  const fs::path& dir;
  ~RemovedAtExit() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

// A folder of the benchmark's own under the temporary folder, named from
// `prefix` by the first call.
inline const fs::path& work_dir(const std::string& prefix) {
  static const fs::path dir = [&] {
    std::string pattern = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
    return fs::path(mkdtemp(pattern.data()));
  }();
  static const RemovedAtExit removed{dir};  // made after the path, so gone before it
  return dir;
}

// The binary beside the benchmark, or the one RUVA_BINARY names.
inline fs::path binary() {
  if (const char* b = std::getenv("RUVA_BINARY")) return b;
  return fs::read_symlink("/proc/self/exe").parent_path() / "ruva";
}

inline void write_file(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

}  // namespace binary_runs
