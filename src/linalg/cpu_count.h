// The processor count the threaded sweep uses when its caller asks for "as
// many threads as the host has".
#pragma once

// Reads the named value "host.cpucount" through the kernel library. Without
// a named-value service it falls back to the processors the system reports;
// a failed read gives 1 (single-threaded).
int host_cpu_count();
