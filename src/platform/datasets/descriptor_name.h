// Names that reach one of the process's open files rather than a file of
// their own: /dev/stdout, /dev/fd/1, /proc/self/fd/1 and links to them
// all lead through /proc/<pid>/fd. Such a name is the stream itself, so an
// output named so is written through it, and two outputs that reach one
// descriptor share one stream whatever the file behind it.
#pragma once

#include <filesystem>
#include <string>

namespace platform::ds {

// Holds each standard stream (0 to 2) that the caller closed (>&-) with
// /dev/null open for reading only, so that the first file the run opens
// does not take its number, and with it the output meant for the stream:
// a write there fails, and is reported as any failed write. Called before
// the run opens anything.
void hold_closed_standard_streams();
// The standard stream `fd` ("standard output") when the caller closed it;
// null when it is open, or no standard stream.
const char* closed_standard_stream(int fd);

// The descriptor of this process that `path` reaches, or -1 when it names
// a file by the file's own name.
int descriptor_named(const std::filesystem::path& path);
// The descriptor of this process that the entry `name` of the folder
// `folder` (absolute, links resolved) is, or -1.
int descriptor_in(const std::filesystem::path& folder, const std::string& name);

}  // namespace platform::ds
