#include "platform/kernel/kernel_nls.h"

#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

constexpr const char* kWideEncoding =
    std::endian::native == std::endian::little ? "UTF-32LE" : "UTF-32BE";

const char* iconv_name(NLScei cei) {
  switch (cei) {
    case U_DEFAULT_CE:
    case U_UTF8_CE: return "UTF-8";
    case U_ASCII_CE: return "ASCII";
    case U_LATIN1_CE: return "ISO-8859-1";
    default: return nullptr;
  }
}

// A pipeline over one iconv descriptor; iconv keeps state, so calls are
// serialised.
struct IconvPipeline {
  QXNLS_PIPELINE base;  // first: the module sees only this
  iconv_t cd;
  bool to_wide;
  std::mutex mutex;
};

// An input sequence that cannot be converted becomes U+FFFD in wide text and
// the SUB byte (26) in narrow text, and the conversion goes on.
bool substitute(IconvPipeline& p, char*& in, std::size_t& inL, char*& out, std::size_t& outL) {
  static constexpr QXChar kWideSub = 0xFFFD;
  static constexpr char kNarrowSub = 26;
  const std::size_t need = p.to_wide ? sizeof(QXChar) : 1;
  if (outL < need) return false;
  if (p.to_wide) std::memcpy(out, &kWideSub, sizeof kWideSub);
  else *out = kNarrowSub;
  out += need;
  outL -= need;
  const std::size_t skip = std::min<std::size_t>(inL, p.to_wide ? 1 : sizeof(QXChar));
  in += skip;
  inL -= skip;
  return true;
}

// Bytes in, bytes out. 0x803FE808 when a character had to be substituted,
// 0x803FE807 when the output filled up first (that status wins: the output
// is incomplete).
QXStatus transcode(QXNLSPipelineh pipeline, const void* in, QXMemSize inL, void* out,
                   QXMemSize outL, QXMemSize* outUsed, QXFlags /*options*/) {
  auto& p = *reinterpret_cast<IconvPipeline*>(pipeline);
  std::lock_guard lock(p.mutex);
  iconv(p.cd, nullptr, nullptr, nullptr, nullptr);
  char* ip = const_cast<char*>(static_cast<const char*>(in));
  char* op = static_cast<char*>(out);
  std::size_t il = in ? inL : 0;
  std::size_t ol = out ? outL : 0;
  QXStatus status = 0;
  while (il > 0) {
    if (iconv(p.cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG || !substitute(p, ip, il, op, ol)) {
      status = kQXBufferTooSmall;
      break;
    }
    status = kQXNoRepresentation;
  }
  if (outUsed) *outUsed = (out ? outL : 0) - ol;
  return status;
}

void destroy_iconv_pipeline(void* self) {
  auto* p = static_cast<IconvPipeline*>(self);
  iconv_close(p->cd);
  delete p;
}

QXNLSPipelineh to_wide(QXNLSh nls, NLScei cei, QXFlags, void*) { return make_pipeline(nls, cei, true); }
QXNLSPipelineh from_wide(QXNLSh nls, NLScei cei, QXFlags, void*) { return make_pipeline(nls, cei, false); }

locale_t unicode_ctype() {
  static const locale_t loc = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return loc;
}

QXChar char_lower(QXNLSh, QXChar c, int) {
  const locale_t loc = unicode_ctype();
  return loc && c >= 0 ? static_cast<QXChar>(towlower_l(static_cast<wint_t>(c), loc)) : c;
}

QXChar char_upper(QXNLSh, QXChar c, int) {
  const locale_t loc = unicode_ctype();
  return loc && c >= 0 ? static_cast<QXChar>(towupper_l(static_cast<wint_t>(c), loc)) : c;
}

void keep(void*) {}  // objects owned by the kernel library itself

}  // namespace

QXNLSPipelineh make_pipeline(QXNLSh owner, NLScei cei, bool wide_out) {
  const char* narrow = iconv_name(cei);
  if (!narrow) return nullptr;
  iconv_t cd = wide_out ? iconv_open(kWideEncoding, narrow) : iconv_open(narrow, kWideEncoding);
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  auto* p = new IconvPipeline{};
  p->cd = cd;
  p->to_wide = wide_out;
  p->base.generic = {0, "pipeline", &destroy_iconv_pipeline};
  p->base.qxnls = owner;
  p->base.Transcode = &transcode;
  p->base.incei = wide_out ? cei : U_INVALID_CE;
  p->base.outcei = wide_out ? U_INVALID_CE : cei;
  return &p->base;
}

void destroy_pipeline(QXNLSPipelineh pipeline) {
  if (pipeline && pipeline->generic.destroy) pipeline->generic.destroy(pipeline);
}

KernelNls::KernelNls(QX_HNDL_S* handle) {
  extension_.generic = {0, "qxnls", &keep};
  extension_.hndl = handle;
  extension_.pipelineToQXChar = &to_wide;
  extension_.pipelineFromQXChar = &from_wide;
  extension_.charLower = &char_lower;
  extension_.charUpper = &char_upper;
  session_locale_ = {{0, "locale", &keep}, &extension_, "en_US"};
  en_us_locale_ = {{0, "locale", &keep}, &extension_, "en_US"};

  QXNLSh x = &extension_;
  record_.Localeh = &session_locale_;
  record_.enUSLocaleh = &en_us_locale_;
  record_.realDestroy = &keep;
  record_.OScei = record_.OSenvcei = record_.SessCei = U_UTF8_CE;
  record_.toOS = make_pipeline(x, U_UTF8_CE, false);
  record_.fromOS = make_pipeline(x, U_UTF8_CE, true);
  record_.toCompiler = make_pipeline(x, U_LATIN1_CE, false);
  record_.fromCompiler = make_pipeline(x, U_LATIN1_CE, true);
  record_.toOSenv = make_pipeline(x, U_UTF8_CE, false);
  record_.fromOSenv = make_pipeline(x, U_UTF8_CE, true);
  record_.SessToQXChar = make_pipeline(x, U_UTF8_CE, true);
  record_.SessFromQXChar = make_pipeline(x, U_UTF8_CE, false);
  record_.extended.toUTF8 = make_pipeline(x, U_UTF8_CE, false);
  record_.extended.fromUTF8 = make_pipeline(x, U_UTF8_CE, true);
}

KernelNls::~KernelNls() {
  for (QXNLSPipelineh p : {record_.toOS, record_.fromOS, record_.toCompiler, record_.fromCompiler,
                           record_.toOSenv, record_.fromOSenv, record_.SessToQXChar,
                           record_.SessFromQXChar, record_.extended.toUTF8,
                           record_.extended.fromUTF8})
    destroy_pipeline(p);
}

}  // namespace platform
