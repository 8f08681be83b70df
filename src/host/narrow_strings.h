// Host-style routines over narrow, counted, blank-padded text. Positions are
// 0-based and -1 means "not found". None of them allocates or fails.
#pragma once

#include "host/types.h"

int vzatl(tchar c, const tchar* str, long len, long maxlen);
void vzfdl(double val, double* to, long len);
int wzbcup(const tchar* string1, const tchar* string2, int n);
int wzstcsp(const tchar* search, int slen, const tchar* options, int olen);
void wzstjls(tchar* string, int length, int type, int* retlen, int* start);
int wzstlen(const tchar* str);
int wzstndx(const tchar* str, int slen, const tchar* tok, int tlen);
int wzstpos(const tchar* str, int len, unsigned char c);
int wzstrip(const tchar* str, int len);
int wzstmax(const tchar* string, int length, int off, int n);
// The bytes of `str` (`len` long) kept when it is cut to at most `limit`
// bytes: the cut moves back to the start of a UTF-8 character rather than
// split one.
int utf8_cut_length(const tchar* str, int len, int limit);
short wztxdotr();
short wztxdods();
// Translates len bytes by function code: 0 and 1 the host's encoding
// conversions, 2 upper case, 3 lower case, 4 the identity table.
int wztxxlt(int function, const tchar* source, tchar* dest, int len);
int max(int a, int b);
int min(int a, int b);

inline constexpr int kWztxxltBadCode = static_cast<int>(0x8000200Au);
