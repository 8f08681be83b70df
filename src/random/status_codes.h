// Status codes of the random-number library (kept in a stream's `Status`)
// and the codes of the messages it sends through its message gate. The
// texts are in the message catalogue's status lines.
#pragma once

#include "host/types.h"

namespace zrand_status {

constexpr QXStatus code(unsigned value) {
  return static_cast<QXStatus>(value);
}

// Statuses of an initialisation.
inline constexpr QXStatus kNullArgument = code(0x803FC002u);
inline constexpr QXStatus kNotInitialised = code(0x8C7FE80Au);
inline constexpr QXStatus kUnknownMethod = code(0x8C7FE80Bu);
inline constexpr QXStatus kMethodUnavailable = code(0x8C7FE80Cu);
inline constexpr QXStatus kTakesNoSeed = code(0x8C7FE80Du);
inline constexpr QXStatus kTakesNoKey = code(0x8C7FE80Fu);
inline constexpr QXStatus kBadKey = code(0x8C7FE810u);

// Messages.
inline constexpr QXStatus kSeedIgnored = code(0x8C7FE817u);     // method, seed
inline constexpr QXStatus kSeedMapped = code(0x8C7FE818u);      // largest seed, method
inline constexpr QXStatus kSeedUnmappable = code(0x8C7FE819u);  // largest seed, seed
inline constexpr QXStatus kKeyIgnored = code(0x8C7FE81Au);      // method, key
inline constexpr QXStatus kKeyInvalid = code(0x8C7FE81Bu);      // largest key, method
inline constexpr QXStatus kKeyTooLarge = code(0x8C7FE81Cu);     // key, largest key, method
inline constexpr QXStatus kMethodNote = code(0x8C7FE828u);      // label
inline constexpr QXStatus kMethodSeedNote = code(0x8C7FE829u);  // label, seed
inline constexpr QXStatus kMethodKeyNote = code(0x8C7FE82Au);   // label, seed, key
inline constexpr QXStatus kMethodLabel = code(0x8C7FE851u);     // label
inline constexpr QXStatus kBlobSize = code(0x8C7FE852u);        // method name, bytes

}  // namespace zrand_status
