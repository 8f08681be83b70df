// The symbolic links that a name leads through, followed one by one as the
// kernel would open it, whether the last file exists yet or not: a link
// that dangles now names the file that writing through it would make.
// For telling which names are one file (output_guard.h); what the run
// reads and writes is reached by resolved_path.h.
// Each hop is named as the link gives it, joined to the folder of the link
// as it was named (sub/l.csv -> ../x.csv gives sub/../x.csv), so that a
// message shows the names the user wrote rather than an absolute path.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace platform::ds {

// The files the links at `name` lead to, in order: empty when `name` is no
// symbolic link; the last is no link, unless the chain is longer than the
// kernel follows (a loop).
std::vector<std::filesystem::path> link_chain(const std::filesystem::path& name);

// What a data set's file name leads to: the end of its chain of links,
// even a file yet to be made; else the name itself, as for links in a loop.
std::filesystem::path followed_link(const std::filesystem::path& name);

// The absolute path that writing through `name` would make, by its
// folders' real names and without the trailing separator of a folder's
// name (g/, ./g/.), so that two names of one file yet to be made compare
// equal; empty when it cannot be found.
std::filesystem::path made_path(const std::filesystem::path& name);

}  // namespace platform::ds
