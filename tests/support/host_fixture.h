// A test fixture that runs a host with its log and listing captured.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/host.h"

class HostTest : public ::testing::Test {
 protected:
  HostTest() : host_({&log_, &listing_}) {}

  std::string log_text() const { return log_.str(); }
  std::string listing_text() const { return listing_.str(); }
  platform::Host& host() { return host_; }

  // Runs `body` as the step's procedure main and returns the step's code.
  int run_as_step(void (*body)()) {
    return host_.run_step_with(body);
  }

  std::ostringstream log_;
  std::ostringstream listing_;
  platform::Host host_;
};
