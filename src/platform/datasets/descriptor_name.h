// Names that reach one of the process's open files rather than a file of
// their own: /dev/stdout, /dev/fd/1, /proc/self/fd/1 and links to them
// all lead through /proc/<pid>/fd. Such a name is the stream itself, so an
// output named so is written through it, and two outputs that reach one
// descriptor share one stream whatever the file behind it.
#pragma once

#include <filesystem>
#include <string>

namespace platform::ds {

// The descriptor of this process that `path` reaches, or -1 when it names
// a file by the file's own name.
int descriptor_named(const std::filesystem::path& path);
// The descriptor of this process that the entry `name` of the folder
// `folder` (absolute, links resolved) is, or -1.
int descriptor_in(const std::filesystem::path& folder, const std::string& name);

}  // namespace platform::ds
