// Slots 52-56 of the kernel-library handle: message formatting. Capture
// keeps a status with its arguments (strings copied) in a pool so that it
// can be rendered later; render and render-format return the text as lines
// in the pool; the buffer forms format into the caller's buffer.
#include <cstring>
#include <vector>

#include "host/pool.h"
#include "host/kernel_handle.h"
#include "platform/kernel/kernel_journal.h"
#include "platform/kernel/kernel_library.h"
#include "platform/listing/wide_format.h"

namespace platform {
namespace {

void keep(void*) {}  // pool storage: released with its pool

void* pool_alloc(void* pool, std::size_t bytes) {
  return pool ? vmalcp_handler(pool, static_cast<long>(bytes), kPoolCleared) : nullptr;
}

// Takes arguments from a va_list and records each one, copying strings.
class RecordingArgs : public FormatArgs {
 public:
  RecordingArgs(va_list args, void* pool) : source_(args), pool_(pool) {}

  std::intmax_t signed_int(char length) override {
    const std::intmax_t v = source_.signed_int(length);
    QXZMsgArg_S a{};
    a.argType = qxzf_msg_intmax;
    a.argVal.im = v;
    args.push_back(a);
    return v;
  }
  std::uintmax_t unsigned_int(char length) override {
    return static_cast<std::uintmax_t>(record_unsigned(source_.unsigned_int(length)));
  }
  long double real(bool long_double) override {
    const long double v = source_.real(long_double);
    QXZMsgArg_S a{};
    a.argType = long_double ? qxzf_msg_ldouble : qxzf_msg_double;
    if (long_double) a.argVal.ld = v;
    else a.argVal.d = static_cast<double>(v);
    args.push_back(a);
    return v;
  }
  const void* pointer() override {
    QXZMsgArg_S a{};
    a.argType = qxzf_msg_ptr;
    a.argVal.p = source_.pointer();
    args.push_back(a);
    return a.argVal.p;
  }
  const void* text(bool wide, long limit) override;

  std::vector<QXZMsgArg_S> args;
  bool failed = false;

 private:
  std::intmax_t record_unsigned(std::uintmax_t v) {
    QXZMsgArg_S a{};
    a.argType = qxzf_msg_intmax;
    a.argVal.im = static_cast<std::intmax_t>(v);
    args.push_back(a);
    return a.argVal.im;
  }
  VaFormatArgs source_;
  void* pool_;
};

const void* RecordingArgs::text(bool wide, long limit) {
  const void* p = source_.pointer();
  QXZMsgArg_S a{};
  a.argType = wide ? qxzf_msg_qx_str : qxzf_msg_ch_str;
  a.argVal.str.ptr = p;
  if (p) {
    const std::size_t unit = wide ? sizeof(QXChar) : 1;
    std::size_t n = 0;
    auto at = [&](std::size_t k) {
      return wide ? static_cast<const QXChar*>(p)[k] : static_cast<const char*>(p)[k];
    };
    while ((limit < 0 || n < static_cast<std::size_t>(limit)) && at(n) != 0) ++n;
    void* copy = pool_alloc(pool_, (n + 1) * unit);  // cleared: terminated
    if (copy) std::memcpy(copy, p, n * unit);
    else failed = true;
    a.argVal.str.buffSz = n * unit;
    a.argVal.str.buff = copy;
  }
  args.push_back(a);
  return a.argVal.str.buff ? a.argVal.str.buff : p;
}

// Gives back the recorded arguments in order; a missing one reads as 0.
class ReplayArgs : public FormatArgs {
 public:
  ReplayArgs(const QXZMsgArg_S* args, std::int64_t count) : args_(args), count_(count) {}
  std::intmax_t signed_int(char) override {
    const QXZMsgArg_S* a = next();
    return a && a->argType == qxzf_msg_intmax ? a->argVal.im : 0;
  }
  std::uintmax_t unsigned_int(char length) override {
    return static_cast<std::uintmax_t>(signed_int(length));
  }
  long double real(bool) override {
    const QXZMsgArg_S* a = next();
    if (!a) return 0;
    return a->argType == qxzf_msg_ldouble ? a->argVal.ld : a->argType == qxzf_msg_double ? a->argVal.d : 0;
  }
  const void* pointer() override {
    const QXZMsgArg_S* a = next();
    return a && a->argType == qxzf_msg_ptr ? a->argVal.p : nullptr;
  }
  const void* text(bool, long) override {
    const QXZMsgArg_S* a = next();
    if (!a || (a->argType != qxzf_msg_qx_str && a->argType != qxzf_msg_ch_str)) return nullptr;
    return a->argVal.str.buff;
  }

 private:
  const QXZMsgArg_S* next() { return index_ < count_ ? &args_[index_++] : nullptr; }
  const QXZMsgArg_S* args_;
  std::int64_t count_;
  std::int64_t index_ = 0;
};

QXZRenderedp render_lines(void* pool, const std::u32string& text) {
  std::vector<std::u32string_view> lines;
  std::u32string_view rest = text;
  for (std::size_t nl; (nl = rest.find(U'\n')) != std::u32string_view::npos; rest.remove_prefix(nl + 1))
    lines.push_back(rest.substr(0, nl));
  lines.push_back(rest);
  auto* r = static_cast<QXZRendered_S*>(pool_alloc(pool, sizeof(QXZRendered_S)));
  auto* out = static_cast<QXZMessageLine_S*>(pool_alloc(pool, lines.size() * sizeof(QXZMessageLine_S)));
  if (!r || !out) return nullptr;
  *r = {{0, "rendered", &keep}, pool, 0, static_cast<std::int64_t>(lines.size()), out};
  for (std::size_t i = 0; i < lines.size(); ++i) {
    auto* line = static_cast<QXChar*>(pool_alloc(pool, (lines[i].size() + 1) * sizeof(QXChar)));
    if (!line) return nullptr;
    std::memcpy(line, lines[i].data(), lines[i].size() * sizeof(QXChar));
    out[i] = {line, static_cast<QXStrSize>(lines[i].size())};
  }
  return r;
}

QXZCapturedp capture(QX_HNDL_S*, void* pool, QXStatus fmtStatus, va_list args) {
  RecordingArgs recorder(args, pool);
  status_message(fmtStatus, recorder);  // walks the text to learn the arguments
  auto* c = static_cast<QXZCaptured_S*>(pool_alloc(pool, sizeof(QXZCaptured_S)));
  const std::size_t n = recorder.args.size();
  auto* list = n ? static_cast<QXZMsgArg_S*>(pool_alloc(pool, n * sizeof(QXZMsgArg_S))) : nullptr;
  if (!c || (n && !list) || recorder.failed) return nullptr;
  if (n) std::memcpy(static_cast<void*>(list), recorder.args.data(), n * sizeof(QXZMsgArg_S));
  *c = {{0, "captured", &keep}, pool, fmtStatus, static_cast<std::int64_t>(n), list};
  return c;
}

QXStatus format_buff(QX_HNDL_S*, QXZFmtInfop, const QXChar* fmt, QXStrSize fmtL, QXChar* dest,
                     QXStrSize destL, QXStrSize* cnvL, int, va_list args) {
  if (!fmt) return kQXInvalidArgument;
  return copy_to_buffer(wide_vformat(fmt, fmtL, args), dest, destL, cnvL);
}

QXZRenderedp render(QX_HNDL_S*, QXZFmtInfop, void* pool, QXZCapturedp captured) {
  if (!captured) return nullptr;
  ReplayArgs replay(captured->args, captured->count);
  return render_lines(pool, status_message(captured->status, replay));
}

QXZRenderedp render_fmt(QX_HNDL_S*, QXZFmtInfop, void* pool, const QXChar* fmt, QXStrSize fmtL,
                        va_list args) {
  if (!fmt) return nullptr;
  return render_lines(pool, wide_vformat(fmt, fmtL, args));
}

QXStatus status_buff(QX_HNDL_S*, QXZFmtInfop, QXStatus fmtStatus, QXChar* dest, QXStrSize destL,
                     QXStrSize* cnvL, va_list args) {
  return copy_to_buffer(status_message(fmtStatus, args), dest, destL, cnvL);
}

const KernelSlot kCapture{52, reinterpret_cast<void*>(&capture)};
const KernelSlot kFormatBuff{53, reinterpret_cast<void*>(&format_buff)};
const KernelSlot kRender{54, reinterpret_cast<void*>(&render)};
const KernelSlot kRenderFmt{55, reinterpret_cast<void*>(&render_fmt)};
const KernelSlot kStatusBuff{56, reinterpret_cast<void*>(&status_buff)};

}  // namespace
}  // namespace platform
