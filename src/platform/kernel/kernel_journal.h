// The kernel library's default journal: messages written to it go to the
// host's log; status codes are written with their text from the message
// catalogue.
#pragma once

#include <cstdarg>
#include <string>

#include "host/kernel_records.h"
#include "platform/listing/wide_format.h"

namespace platform {

QXJnlh default_journal();

// The catalogue text of a kernel status formatted with its arguments; a code
// without a text is named by its number.
std::u32string status_message(QXStatus status, FormatArgs& args);
std::u32string status_message(QXStatus status, va_list args);

}  // namespace platform
