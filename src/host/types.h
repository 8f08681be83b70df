// Basic types shared by the module and the host: status codes, counted
// sizes, host text and wide characters.
#pragma once

#include <cstddef>
#include <cstdint>

using QXStatus = std::int32_t;    // 0 success; top bit set is a failure
using QXStrSize = std::int64_t;   // a count of characters
using QXMemSize = std::uint64_t;  // a count of bytes
using QXBoolean = std::uint8_t;   // 1 true, 0 false
using QXChar = std::int32_t;      // one UTF-32 code point
using tchar = char;               // one byte of host text

// A length-counted host string.
struct VARSTRING {
  std::int64_t k;  // capacity in bytes
  std::int64_t l;  // length in use
  tchar* s;        // the text, not NUL-terminated
};

// Kernel-library status codes used across the module.
inline constexpr QXStatus kQXNotSupported = static_cast<QXStatus>(0x803FC004u);
inline constexpr QXStatus kQXMissingExtension = static_cast<QXStatus>(0x803FC009u);
inline constexpr QXStatus kQXBufferTooSmall = static_cast<QXStatus>(0x803FE807u);
inline constexpr QXStatus kQXNoRepresentation = static_cast<QXStatus>(0x803FE808u);

inline constexpr bool qx_failed(QXStatus s) { return s < 0; }
