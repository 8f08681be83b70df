// Records of the kernel library that the module reads or passes on: the
// generic object header, journals and severities, the national-language
// extension with its locales and transcoding pipelines, the session record,
// and the message-formatting records.
#pragma once

#include <cstdarg>
#include <cstdint>

#include "host/types.h"

struct QX_HNDL_S;

using KOVLONG = std::int64_t;
using QXFlags = std::uint32_t;

// Kernel status codes of the named-value store and the national-language
// service.
inline constexpr QXStatus kQXNameAbsent = static_cast<QXStatus>(0x803FC26Au);
inline constexpr QXStatus kQXWrongType = static_cast<QXStatus>(0x803FC264u);
inline constexpr QXStatus kQXInvalidArgument = static_cast<QXStatus>(0x803FC005u);

// The header every kernel-library object begins with.
struct QX_GENERIC_S {
  std::uint32_t oven;
  const char* name;
  void (*destroy)(void* self);
};

enum QXSeverity : std::int32_t {
  QXSeverityNull = 0,
  QXSeverityNone = 1,
  QXSeverityNote = 2,
  QXSeverityWarning = 3,
  QXSeverityError = 4,
};

struct QX_LOCALE_S;
using QXLocaleh = QX_LOCALE_S*;

// A journal: the kernel's message sink. Every method takes the journal first.
struct QX_JNL_S;
using QXJnlh = QX_JNL_S*;
struct QX_JNL_S {
  QX_GENERIC_S generic;
  QXStatus (*flush)(QXJnlh jnl);
  QXStatus (*messageToBuf)(QXJnlh jnl, const QXChar* fmt, QXStrSize fmtL, QXChar* msg,
                           QXStrSize msgL, QXStrSize* cnvL, va_list args);
  QXStatus (*messageToJnl)(QXJnlh jnl, QXSeverity sev, const QXChar* fmt, QXStrSize fmtL,
                           va_list args);
  QXStatus (*statusToBuf)(QXJnlh jnl, QXStatus inStatus, QXChar* msg, QXStrSize msgL,
                          QXStrSize* cnvL, va_list args);
  QXStatus (*statusToJnl)(QXJnlh jnl, QXSeverity sev, QXStatus inStatus, va_list args);
  QXStatus (*concat)(QXJnlh jnl, QXJnlh other);
  QXStatus (*tee)(QXJnlh jnl, QXJnlh other);
  QXBoolean (*hasData)(QXJnlh jnl);
  QXStatus (*config)(QXJnlh jnl, QXFlags flags);
  QXLocaleh (*getLocale)(QXJnlh jnl);
  void* future1;
};

// Encodings of the national-language service.
using NLScei = std::int32_t;
inline constexpr NLScei U_INVALID_CE = -1;
inline constexpr NLScei U_DEFAULT_CE = 0;
inline constexpr NLScei U_UTF8_CE = 20;
inline constexpr NLScei U_ASCII_CE = 28;
inline constexpr NLScei U_LATIN1_CE = 29;

struct QX_NLS_S;
using QXNLSh = QX_NLS_S*;

// A transcoding pipeline from one encoding to another. Lengths are bytes.
struct QXNLS_PIPELINE;
using QXNLSPipelineh = QXNLS_PIPELINE*;
struct QXNLS_PIPELINE {
  QX_GENERIC_S generic;
  QXNLSh qxnls;
  QXStatus (*Transcode)(QXNLSPipelineh pipeline, const void* in, QXMemSize inL, void* out,
                        QXMemSize outL, QXMemSize* outUsed, QXFlags options);
  void* TranscodeStream;
  NLScei incei;
  NLScei outcei;
  void* TranscodeWithPool;
};

// The national-language extension: makes pipelines and maps one character's
// case. `hndl` is the kernel handle that owns it.
struct QX_NLS_S {
  QX_GENERIC_S generic;
  QX_HNDL_S* hndl;
  QXNLSPipelineh (*pipelineToQXChar)(QXNLSh nls, NLScei cei, QXFlags flags, void* pool);
  QXNLSPipelineh (*pipelineFromQXChar)(QXNLSh nls, NLScei cei, QXFlags flags, void* pool);
  QXChar (*charLower)(QXNLSh nls, QXChar c, int count);
  QXChar (*charUpper)(QXNLSh nls, QXChar c, int count);
};

// A locale: its national-language extension and its name.
struct QX_LOCALE_S {
  QX_GENERIC_S generic;
  QXNLSh qxnls;
  const char* name;
};

struct SKNLS_EXTENDED {
  QXNLSPipelineh toUTF8;
  QXNLSPipelineh fromUTF8;
  void* reserved[14];
};

// The session's national-language record, at the handle's `sknls_global`.
struct SKNLS_S {
  QXLocaleh Localeh;
  NLScei OScei;
  QXNLSPipelineh toOS, fromOS;
  QXNLSPipelineh toCompiler, fromCompiler;
  void (*realDestroy)(void* self);
  QXLocaleh enUSLocaleh;
  NLScei OSenvcei;
  QXNLSPipelineh toOSenv, fromOSenv;
  NLScei SessCei;
  QXNLSPipelineh SessToQXChar;
  QXNLSPipelineh SessFromQXChar;
  SKNLS_EXTENDED extended;
  void* future2;
};

// Message formatting: a format-information record, captured arguments and
// rendered lines.
struct QXZFmtInfo_S {
  QXLocaleh locale;
  QXFlags altfmts;
  std::uint32_t filler;
};
using QXZFmtInfop = QXZFmtInfo_S*;

enum QXZMsgArgT : std::int32_t {
  qxzf_msg_undef = 0,
  qxzf_msg_ch = 1,
  qxzf_msg_qxch = 2,
  qxzf_msg_int = 3,
  qxzf_msg_intfast = 4,
  qxzf_msg_ptr = 5,
  qxzf_msg_intmax = 6,
  qxzf_msg_double = 7,
  qxzf_msg_ldouble = 8,
  qxzf_msg_ch_str = 9,
  qxzf_msg_qx_str = 10,
};

struct QXZMsgArgStr_S {
  const void* ptr;
  QXMemSize buffSz;
  void* buff;
};

struct QXZMsgArg_S {
  QXZMsgArgT argType;
  union {
    int i;
    std::intmax_t im;
    double d;
    long double ld;
    const void* p;
    QXZMsgArgStr_S str;
  } argVal;
};

struct QXZCaptured_S {
  QX_GENERIC_S gen;
  void* pool;
  QXStatus status;
  std::int64_t count;
  QXZMsgArg_S* args;
};
using QXZCapturedp = QXZCaptured_S*;

struct QXZMessageLine_S {
  QXChar* line;
  QXStrSize lineL;
};

struct QXZRendered_S {
  QX_GENERIC_S gen;
  void* pool;
  QXStatus rc;
  std::int64_t count;
  QXZMessageLine_S* lines;
};
using QXZRenderedp = QXZRendered_S*;
