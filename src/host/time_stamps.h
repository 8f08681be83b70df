// Clocks on the operating system's time of day, and the time-of-day stamp
// "[hh:mm:ss] " put in front of log text.
#pragma once

#include <cstdint>

#include "host/types.h"

// The second at which bkztod last called the kernel library's clock hook.
extern std::int64_t bkz_lasttime;

// Local hours and minutes, and seconds with the microseconds as a fraction.
// Returns 0.
int qxztime(unsigned* hours, unsigned* minutes, double* seconds);
// Seconds since the epoch with the microseconds as a fraction; calls the
// kernel's clock hook when more than 5 seconds have passed (or the clock
// went back) since it last did.
double bkztod();
// (seconds AND mask) times 10^6 plus the microseconds.
std::int64_t qxzTimeUsec(std::int64_t mask);

inline constexpr int kTimeStampFlag = 0x20000;
inline constexpr int kNoTimeStampFlag = 0x200000;
// Copies the wide text `fmt` into `out` (room for `len` characters with the
// terminator), after the stamp when `flags` asks for one; what does not fit
// is cut off.
void bkzAddTimeT(const QXChar* fmt, QXChar* out, QXStrSize len, int flags);
// The stamp as narrow text with its terminator, cut to `len` bytes.
void bkzGetLogTime(char* out, QXStrSize len, int flags);
