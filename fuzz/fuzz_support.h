// What the fuzz targets share: a scratch folder of their own, removed at
// exit, and the check that a run logged no internal or unexpected error.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

namespace fuzz_support {

// A fresh folder, removed when the process ends: in memory where the system
// has such a folder, since a file replaced on disk is flushed at once.
inline const std::filesystem::path& scratch_dir() {
  static const std::filesystem::path dir = [] {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    std::string pattern = (base / "ruva-fuzz-XXXXXX").string();
    std::filesystem::path made = mkdtemp(pattern.data());
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(scratch_dir(), ec);
    });
    return made;
  }();
  return dir;
}

inline void write_file(const std::filesystem::path& file, std::string_view text) {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) abort();
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

// Errors that only a fault of the program itself produces: an internal
// error (message 1/6) or an exception that ended a step (1/11). Not looked
// for when the input holds their text, which messages may quote.
inline void fail_on_internal_error(const std::string& log, std::string_view input) {
  for (const char* text : {"An internal error occurred", "The step ended because of an unexpected error"})
    if (log.find(text) != std::string::npos && input.find(text) == std::string_view::npos) {
      std::fprintf(stderr, "%s\n", log.c_str());
      abort();
    }
}

}  // namespace fuzz_support
