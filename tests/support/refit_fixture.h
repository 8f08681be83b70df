// A host for tests that drive the refit engine: its compiler parses the
// model text with the production parser, whatever an earlier test
// installed.
#pragma once

#include "platform/compiler/api.h"
#include "platform/language/program_text.h"
#include "support/host_fixture.h"

class RefitHostTest : public HostTest {
 protected:
  RefitHostTest() : previous_(platform::compiler::install_program_parser(&platform::language::parse_program_text)) {}
  ~RefitHostTest() override { platform::compiler::install_program_parser(previous_); }
  platform::compiler::ProgramParser previous_;
};
