// Clocks on the operating system's time of day, and the time-of-day stamp
// "[hh:mm:ss] " that log and journal text may begin with.
#pragma once

#include <cstdint>

#include "host/types.h"

// The second (since the epoch) at which bkztod last called the kernel
// library's clock hook; 0 before the first call.
extern std::int64_t bkz_lasttime;

// Flag bits of bkzAddTimeT: the stamp is written when kAddTimeStamp is set
// and kAddTimeNoStamp is clear.
inline constexpr unsigned kAddTimeStamp = 0x20000;
inline constexpr unsigned kAddTimeNoStamp = 0x200000;
// Characters of the stamp "[hh:mm:ss] ", without a terminating NUL.
inline constexpr int kTimeStampLength = 11;

// Local hours and minutes, and seconds with the microseconds as a fraction.
QXStatus qxztime(std::uint32_t* hours, std::uint32_t* minutes, double* seconds);
// Seconds since the epoch with microseconds; at most every 5 seconds (or
// when the clock went back) it also calls the kernel library's clock hook.
double bkztod();
// (seconds since the epoch AND mask) * 1000000 + microseconds.
std::int64_t qxzTimeUsec(std::int64_t mask);
// Writes the stamp (when the flags ask for it) and then fmt with its NUL to
// out, which holds len characters. Returns 0, or 0x803FE807 when out is too
// small: then as much as fits is written and the text is still terminated.
QXStatus bkzAddTimeT(const QXChar* fmt, QXChar* out, QXStrSize len, unsigned flags);
// Writes the stamp and a NUL (12 bytes) to out, which holds len bytes.
// Returns 0, or 0x803FE807 when fewer than 12 bytes are available: then the
// stamp is cut short and still terminated.
QXStatus bkzGetLogTime(char* out, QXStrSize len, unsigned flags);
