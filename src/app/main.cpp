// The ruva command.
#include <iostream>

#include "app/command_line.h"
#include "app/runner.h"

int main(int argc, char** argv) {
  app::CommandLine cmd;
  std::string error;
  if (!app::parse_command_line(argc, argv, &cmd, &error)) {
    std::cerr << "ruva: " << error << "\n\n" << app::usage_text();
    return 2;
  }
  if (cmd.help) {
    std::cout << app::usage_text();
    return 0;
  }
  if (cmd.version) {
    std::cout << "ruva " RUVA_VERSION "\n";
    return 0;
  }
  return app::run(cmd, std::cout, std::cerr);
}
