#include "platform/kernel/kernel_journal.h"

#include <atomic>

#include "platform/host.h"
#include "platform/kernel/kernel_state.h"
#include "platform/utf8.h"

namespace platform {
namespace {

std::atomic<std::uint64_t> g_messages_written{0};

// Severities below a note are plain text lines of the log.
Severity log_severity(QXSeverity sev) {
  switch (sev) {
    case QXSeverityNote: return Severity::Note;
    case QXSeverityWarning: return Severity::Warning;
    case QXSeverityError: return Severity::Error;
    default: return sev > QXSeverityError ? Severity::Error : Severity::Text;
  }
}

void write_to_log(QXSeverity sev, const std::u32string& text) {
  Host::current().log().write(log_severity(sev), to_utf8(text));
  g_messages_written.fetch_add(1, std::memory_order_relaxed);
}

QXStatus flush(QXJnlh) { return 0; }

QXStatus message_to_buf(QXJnlh, const QXChar* fmt, QXStrSize fmtL, QXChar* msg, QXStrSize msgL,
                        QXStrSize* cnvL, va_list args) {
  if (!fmt) return kQXInvalidArgument;
  return copy_to_buffer(wide_vformat(fmt, fmtL, args), msg, msgL, cnvL);
}

QXStatus message_to_jnl(QXJnlh, QXSeverity sev, const QXChar* fmt, QXStrSize fmtL, va_list args) {
  if (!fmt) return kQXInvalidArgument;
  write_to_log(sev, wide_vformat(fmt, fmtL, args));
  return 0;
}

QXStatus status_to_buf(QXJnlh, QXStatus status, QXChar* msg, QXStrSize msgL, QXStrSize* cnvL,
                       va_list args) {
  return copy_to_buffer(status_message(status, args), msg, msgL, cnvL);
}

QXStatus status_to_jnl(QXJnlh, QXSeverity sev, QXStatus status, va_list args) {
  write_to_log(sev, status_message(status, args));
  return 0;
}

QXStatus not_supported(QXJnlh, QXJnlh) { return kQXNotSupported; }
QXStatus config(QXJnlh, QXFlags) { return kQXNotSupported; }
QXBoolean has_data(QXJnlh) { return g_messages_written.load() > 0 ? 1 : 0; }
QXLocaleh get_locale(QXJnlh) { return Host::current().kernel().nls().session()->Localeh; }
void keep(void*) {}

QX_JNL_S g_journal = {
    {0, "journal", &keep}, &flush, &message_to_buf, &message_to_jnl, &status_to_buf,
    &status_to_jnl, &not_supported, &not_supported, &has_data, &config, &get_locale, nullptr,
};

}  // namespace

QXJnlh default_journal() { return &g_journal; }

std::u32string status_message(QXStatus status, FormatArgs& args) {
  const auto code = static_cast<std::uint32_t>(status);
  const MessageCatalog& catalogue = MessageCatalog::builtin();
  if (const Message* m = catalogue.find_status(code)) return wide_format(from_utf8(m->text), args);
  const Message* unknown = catalogue.find(1, 60);
  return from_utf8(format(unknown ? unknown->text.c_str() : "Kernel status 0x%08X.", code));
}

std::u32string status_message(QXStatus status, va_list args) {
  VaFormatArgs source(args);
  return status_message(status, source);
}

}  // namespace platform
