// The report's style sheet, for the screen and for print.
#pragma once

namespace platform::report {

const char* report_css();

}  // namespace platform::report
