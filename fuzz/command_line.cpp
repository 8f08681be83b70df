// Parses the input as the command's arguments, one argument per line, and
// applies the libraries, settings and options of a valid command line to a
// host, as the command does before it runs the programs.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/runner.h"
#include "fuzz_support.h"
#include "platform/host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> args{"ruva"};
  for (std::size_t start = 0; start <= input.size();) {
    std::size_t end = input.find('\n', start);
    if (end == std::string::npos) end = input.size();
    args.push_back(input.substr(start, end - start));
    start = end + 1;
  }
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  app::CommandLine cmd;
  std::string error;
  if (!app::parse_command_line(static_cast<int>(args.size()), argv.data(), &cmd, &error)) return 0;
  std::ostringstream log, listing;
  {
    platform::Host host({&log, &listing, nullptr});
    app::configure(cmd, host);
  }
  fuzz_support::fail_on_internal_error(log.str(), input);
  return 0;
}
