// Whether this user may replace a file that exists: outputs are written to
// a temporary file and renamed over the old one, which the system allows
// whenever the folder may be written, even over a file the user may not
// write; and in a sticky folder (/tmp, mode 1777) only the owner of the
// file or of the folder may rename over it, which shows only at the end of
// the run. Asked before, the answer refuses such a file as the listing's
// open refuses a read-only one. Root (euid 0) may replace any file.
#pragma once

#include <string>

#include "platform/datasets/resolved_path.h"

namespace platform::ds {

// Why this user may not replace `file` (a clause: "this user may not write
// it"), or empty when it may, or when `file` is no regular file or link
// (nothing there, or a device or pipe, written in place). A link is
// replaced itself, so only its folder counts. Asked of the file and the
// folder the look found, not of their names.
std::string replace_refusal(const ResolvedPath& file);

}  // namespace platform::ds
