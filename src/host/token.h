// The host parser's token record and parse-information block, as the
// per-statement parser callback sees them through the token services.
#pragma once

#include <cstdint>

struct TOKEN {
  std::int16_t type;     // token class (token_type below)
  std::int16_t subtype;  // ";" is type 1 subtype 10
  std::uint16_t lng;     // length of `spell`
  const char* spell;     // the token as written
  std::int32_t line;     // where it starts in the program file
  std::int32_t column;
  std::int32_t index;    // position in the step's token stream
};

namespace token_type {
inline constexpr std::int16_t kPunctuation = 1;  // operators and punctuation
inline constexpr std::int16_t kName = 2;
inline constexpr std::int16_t kCompound = 3;     // DER.p, DER.p.q, MODEL.y
inline constexpr std::int16_t kNumber = 4;
inline constexpr std::int16_t kMissing = 5;
inline constexpr std::int16_t kString = 6;
inline constexpr std::int16_t kDate = 7;
inline constexpr std::int16_t kTime = 8;
inline constexpr std::int16_t kDateTime = 9;
inline constexpr std::int16_t kFormat = 10;
inline constexpr std::int16_t kStatementEnd = 30;  // a ";" the callback has re-marked
inline constexpr std::int16_t kEndOfStep = -69;    // after the last token of the step
inline constexpr std::int16_t kSemicolonSubtype = 10;
}  // namespace token_type

// A statement label as `xttklab` fills it: a 16-bit length, then the text.
struct TKLABEL {
  std::int16_t length;
  char text[254];
};

// The host parse-information block (128 bytes, zeroed by the caller).
struct PARSINFO {
  std::int32_t userrun;
  std::int32_t sttype;
  std::int32_t nparsed;      // statements parsed
  std::int32_t totparsed;
  std::int8_t progchanged;
  std::int8_t symchanged;
  std::int16_t nst;
  std::int32_t comments;
  void* custsymd;
  std::int8_t prntspec;
  std::int8_t inproc;
  std::int8_t ingrammar;     // passed to xttkpk by the callback
  std::int8_t batchflag;
  std::int8_t altTrack;
  std::int8_t append;
  std::int8_t nofuncheck;
  std::int8_t userrunf;
  std::int32_t getopts;
  std::int32_t custact;
  void* broutine;
  void* aroutine;
  char reserved[64];
};
static_assert(sizeof(PARSINFO) == 128, "the parse-information block is 128 bytes");
