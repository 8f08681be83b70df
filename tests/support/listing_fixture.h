// A fixture that runs listing printers inside a step, with the system
// options the test sets, and returns the lines of the listing.
#pragma once

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host/parse_print_record.h"
#include "support/host_fixture.h"

class ListingTest : public HostTest {
 protected:
  // Runs `body` in a step after xinit; returns the step's code.
  int print(std::function<void()> body) {
    body_ = std::move(body);
    return run_as_step([] {
      xinit();
      body_();
    });
  }
  // The listing's lines; a form feed that starts the listing (a step after
  // an earlier one) is dropped.
  std::vector<std::string> lines() const {
    std::vector<std::string> out;
    std::string text = listing_text();
    if (!text.empty() && text[0] == '\f') text.erase(0, 1);
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }
  void set(const char* option) { ASSERT_TRUE(host().options().set(option)) << option; }

  static inline std::function<void()> body_;
};

// The whitespace-separated words of a line.
inline std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::istringstream in(line);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}
