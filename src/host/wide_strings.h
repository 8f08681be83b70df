// Kernel-library routines over bytes and over QXChar wide strings. Copies
// and comparisons take the source first and the destination second. Not
// found is all bits one for a QXMemSize result. None of them fails: a null
// pointer or an empty length gives the result its comment states.
#pragma once

#include "host/kernel_pool.h"
#include "host/types.h"

inline constexpr QXMemSize kQXNotFound = ~QXMemSize{0};

// The status 0x803FC004, operation not supported.
QXStatus skUnsup();

// Lengths of NUL-terminated text; 0 for null.
QXMemSize skStrLen(const char* s);
QXStrSize skStrTLen(const QXChar* s);
// Copies up to and including the NUL. A null dst does nothing; a null src
// stores an empty string.
void skStrCpy(const char* src, char* dst);
void skStrTCpy(const QXChar* src, QXChar* dst);
// ASCII a-z to A-Z (or A-Z to a-z) in place; other bytes stay.
void skStrUp(char* src, QXMemSize len);
void skStrLow(char* src, QXMemSize len);

// True when every one of the len bytes (characters) equals c; len 0 is true.
QXBoolean skMemNot(signed char c, const void* buff, QXMemSize len);
QXBoolean skMemTNot(QXChar c, const QXChar* buff, QXStrSize len);
void skMemSet(void* buff, int c, QXMemSize len);
void skMemTSet(QXChar* buff, QXChar c, QXStrSize len);

// -1, 0 or 1 by the first differing byte (unsigned) or character (signed).
int skMemCmp(const void* src, const void* dst, QXMemSize len);
int skWMemCmp(const QXChar* src, const QXChar* dst, QXMemSize len);
// Forward copy of ranges that do not overlap.
void skMemCpy(const void* src, void* dst, QXMemSize len);
// Copy that is correct whether or not the ranges overlap.
void skMemSCpy(const void* src, void* dst, QXMemSize len);
// A copy of len bytes in a new block of `pool`; null when there is no pool,
// no source or no memory.
void* skMemDup(const void* src, QXMemSize len, QXPoolh pool);

// Index of the first byte equal to ch, of the first byte not equal to ch, of
// the first character not equal to ch; kQXNotFound when there is none.
QXMemSize skMemScan(const void* src, QXMemSize len, int ch);
QXMemSize skMemNScan(const void* src, QXMemSize len, int ch);
QXMemSize skMemTNScan(const QXChar* src, QXMemSize len, QXChar ch);

// True when any of the len doubles is a missing value.
QXBoolean skMissArray(const double* dp, QXMemSize len);

// Length without trailing blanks.
QXStrSize qxzstrp(const QXChar* str, QXStrSize len);
// Lower- or upper-case in place, through the national-language extension
// for characters above 127 when the kernel handle has one.
void qxzstlo(QXChar* string, QXStrSize slen);
void qxzstup(QXChar* string, QXStrSize slen);
// Each character below 0x10000 to the smaller (min) or larger (max) member
// of its case pair, in place.
void qxzstmin(QXChar* string, QXStrSize slen);
void qxzstmax(QXChar* string, QXStrSize slen);
// Equal lengths and equal characters after down-shifting each.
QXBoolean qxzseqn(const QXChar* s1, QXStrSize len1, const QXChar* s2, QXStrSize len2);
// Case-blind compare, trailing blanks ignored: -2 or 2 for a difference that
// survives down-shifting, -1 or 1 for a difference of case only (the first
// such pair decides), 0 for a match.
int qxzsncmp(const QXChar* s1, QXStrSize len1, const QXChar* s2, QXStrSize len2);

// One character through the case tables; characters outside the tables stay.
QXChar qxz_down_char(QXChar c);
QXChar qxz_up_char(QXChar c);
QXChar qxz_min_char(QXChar c);
QXChar qxz_max_char(QXChar c);
