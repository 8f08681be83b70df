// Records shared by the module and the host's data-set services (vector 212)
// and utility files (vector 48). The host owns every record it hands out;
// the module reads the fields documented here and passes the pointers back.
#pragma once

#include <cstdint>

struct XO_PARMS;

// A data set open for input or for output (`fiddata`, OUTEST=, OUT=, ...).
struct XO_FILE {
  std::uint32_t flags;      // kXoDirect, kXoError, kXoOutput
  std::int64_t nobs;        // the reader's own count of observations; the host sets it to 0
  const void* current;      // the current record; null before the first and after the
                            // last observation of a BY group
  int (*read)(XO_PARMS*);   // the descriptor's own read operation (opcodes below)
  int (*write)(XO_PARMS*);  // appends the record that `xyvput` gathered (output only)
  void* host;               // the host's data set; not for the module
};

// Descriptor flags.
inline constexpr std::uint32_t kXoDirect = 0x1;  // read BY groups with `xybyget`
inline constexpr std::uint32_t kXoError = 0x2;   // the last read or write failed
inline constexpr std::uint32_t kXoOutput = 0x4;  // open for output

// A read or write request on a data set: the access block.
struct XO_PARMS {
  XO_FILE* file;          // the data set
  std::int64_t rid[2];    // record ids: rid[0] the 0-based index of the last record read
  const void* record;     // the record of the last successful read
  std::int64_t obs;       // its 1-based observation number in the data set
  std::int32_t lockwait;  // not used
  std::uint32_t flags;    // kXoByGroup, kXoFailed
  std::int32_t opcode;    // kXoOpen or kXoNext for the descriptor's read operation
  std::int32_t count;     // records transferred by the last request (0 or 1)
  std::int32_t growth;    // not used
};

inline constexpr std::uint32_t kXoByGroup = 0x40;  // read within the current BY group
inline constexpr std::uint32_t kXoFailed = 0x02;   // set by a request that failed
inline constexpr std::int32_t kXoOpen = 1;
inline constexpr std::int32_t kXoNext = 11;

// `xoget` and the sequential read operation return kXoEnd after the last record.
inline constexpr int kXoEnd = 1;

// A variable vector: the variables a reader binds to its buffers (input), or
// the variables of an output data set bound to the addresses that hold their
// values (output).
struct XV_VECTOR {
  std::uint32_t flags;                  // kXvOwnOperation
  XO_FILE* source;                      // the data set read or written
  int (*get)(XV_VECTOR*, int);          // input: the same as `xyvget`
  int (*put)(XV_VECTOR*, const void*);  // output: the same as `xyvput`
  void* host;                           // the host's vector; not for the module
};

inline constexpr std::uint32_t kXvOwnOperation = 0x1;

// One variable's description: filled by the caller for `xvputd`, by the host
// for `xvname`. Texts are not NUL-terminated.
struct NAMESTR {
  std::int16_t type;    // 1 numeric, 2 character
  std::int32_t length;  // bytes: 8 for numeric, 1 to 32767 for character
  const char* name;
  std::int32_t namelen;
  const char* label;  // may be null when labellen is 0
  std::int32_t labellen;
  std::int32_t varnum;  // `xvname`: the 1-based variable number
};

inline constexpr std::int16_t kNumeric = 1;
inline constexpr std::int16_t kCharacter = 2;

// Information item 22: a data-set label of at most 40 characters.
struct XO_LABEL {
  std::int16_t length;  // characters used in `text`, at most 40
  char text[40];        // blank-padded
};

// xoinfo items.
inline constexpr int kXoLastRecord = 18;  // const void*: the last record read
inline constexpr int kXoType = 21;        // char[8]: the data-set type, blank-padded
inline constexpr int kXoLabel = 22;       // XO_LABEL
inline constexpr int kXoVariables = 95;   // int: the number of variables
inline constexpr int kXoByGroupText = 96;  // XO_BYGROUP: the current BY group of an input data set

// Information item 96: the current BY group as the BY line names it
// ("state=treated"), NUL-terminated and cut to fit; empty without BY
// variables or before the first group.
struct XO_BYGROUP {
  char text[256];
};

// `xbyrwnd` position: back to the first observation of the current BY group.
inline constexpr int kXoGroupStart = 'b';

// A utility file of fixed-length records; the host defines it.
struct XC_FILE;

// The open block of `xcopen`. Name fields are blank-padded.
struct XC_OPEN {
  char libname[8];
  char memname[8];  // "UTILITY " for the diagnostics file
  char memtype[8];
  std::uint32_t flags;  // 0x82000008 for a new temporary file; no other value is needed
  std::int32_t reclen;  // record length in bytes; 0 takes it from the first write
  std::int64_t reserved[4];
};

// Statuses of the data-set and utility-file services. Negative values are
// failures (facility 212 or 48 in bits 11-21); the catalogue holds their texts.
inline constexpr int kXoBadHandle = static_cast<int>(0x8006A001u);
inline constexpr int kXoNoGroup = static_cast<int>(0x8006A002u);
inline constexpr int kXoNotInput = static_cast<int>(0x8006A003u);
inline constexpr int kXoNotOutput = static_cast<int>(0x8006A004u);
inline constexpr int kXoBadState = static_cast<int>(0x8006A005u);
inline constexpr int kXoWriteFailed = static_cast<int>(0x8006A006u);
inline constexpr int kXoBadRequest = static_cast<int>(0x8006A007u);
inline constexpr int kXoNoRecord = static_cast<int>(0x8006A008u);
inline constexpr int kXoNoVariable = static_cast<int>(0x8006A009u);
inline constexpr int kXoBadArgument = static_cast<int>(0x8006A00Au);
inline constexpr int kXoNotSorted = static_cast<int>(0x8006A00Bu);

inline constexpr int kXcBadHandle = static_cast<int>(0x80018001u);
inline constexpr int kXcBadLength = static_cast<int>(0x80018002u);
inline constexpr int kXcEnd = static_cast<int>(0x80018003u);
inline constexpr int kXcBadPosition = static_cast<int>(0x80018004u);
inline constexpr int kXcIoFailed = static_cast<int>(0x80018005u);
inline constexpr int kXcBadOpen = static_cast<int>(0x80018006u);
