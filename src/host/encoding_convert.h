// Table-driven conversions between the narrow code page and wide (QXChar)
// characters, the ASCII prefix of UTF-8 text, and Unicode escapes. Lengths
// are characters for wide text and bytes for narrow text; characters compare
// as signed 32-bit values.
#pragma once

#include "host/case_tables.h"

#include <array>

#include "host/types.h"

// The narrow code page: byte to wide character (writable), and wide
// character 0-255 to byte. Both are the identity (Latin-1).

// The byte an unrepresentable character becomes (ASCII SUB).
inline constexpr unsigned char kSubstituteByte = 26;

// Converts min(srcL, destL) bytes through c2qx; returns 1 when srcL > destL
// (truncated), else 0.
int Compiler2QXChar(const char* src, QXStrSize srcL, QXChar* dest, QXStrSize destL,
                    QXStrSize* cvtL);
// Converts min(cL, aL) characters: a character outside 0-255 becomes 26 and
// gives 0x803FE808 (which wins over 0x803FE807 for a short buffer).
QXStatus QXChar2ASCII(const QXChar* c, QXStrSize cL, char* a, QXStrSize aL, QXStrSize* cvtL);
// The same, with characters 0-255 stored through u2c.
QXStatus QXChar2Compiler(const QXChar* c, QXStrSize cL, char* a, QXStrSize aL, QXStrSize* cvtL);
// Leading bytes below 0x80, at most l and at most cL.
QXStrSize NLSASCIIStrLen(const char* str, QXStrSize l, QXStrSize cL);
// Writes the escape \uXXXX or \UXXXXXXXX of c32, each byte passed through
// u2etable (ASCII to the target encoding). Writes nothing and returns
// 0x803FE807 for a short buffer or 0x803FE808 above U+10FFFF.
QXStatus putUESC(char* buf, QXStrSize bufL, QXChar c32, const unsigned char* u2etable,
                 QXStrSize* cvtL);
