// The session's character encoding, kept in the kernel's national-language
// record (the handle's `sknls_global`): switching it, reading its fields and
// converting session-encoded text to wide characters.
#pragma once

#include "host/kernel_records.h"

// Makes `cei` the session encoding. Returns 0, or a failure status (after
// journalling it) when the encoding has no pipelines; the session is then
// left as it was.
int zsknls(NLScei cei);
NLScei zSessCei();
QXNLSPipelineh zSessToQXChar();
QXNLSPipelineh zSessFromQXChar();
QXLocaleh zLocaleh();

// Converts `len` bytes of session text into `to` (room for `len`
// characters); returns the characters written. Failures are journalled.
QXStrSize zCharToQXChar(const char* from, QXChar* to, QXStrSize len);
// The reverse: `len` characters into at most `room` bytes of session text
// (whole characters only); returns the bytes written.
QXStrSize zQXCharToSess(const QXChar* from, QXStrSize len, char* to, QXStrSize room);
