#include "platform/graphs/text_metrics.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/utf8.h"

namespace platform::graphs {
namespace {

// One face of the font with its advances cached per character, in font
// units, so that measuring costs a table look-up after the first time.
class FontFace {
 public:
  FontFace(FT_Library library, FontWeight weight) {
    const std::string file = font_file(weight);
    if (file.empty() || FT_New_Face(library, file.c_str(), 0, &face_) != 0) face_ = nullptr;
    if (face_) units_ = face_->units_per_EM;
  }
  ~FontFace() {
    if (face_) FT_Done_Face(face_);
  }
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  bool loaded() const { return face_ != nullptr; }

  // Width in em of the characters, kerning pairs included.
  double width_em(const std::u32string& text) {
    long total = 0;
    FT_UInt previous = 0;
    for (char32_t c : text) {
      const FT_UInt glyph = FT_Get_Char_Index(face_, c);
      if (previous && glyph && FT_HAS_KERNING(face_)) {
        FT_Vector kern{};
        if (FT_Get_Kerning(face_, previous, glyph, FT_KERNING_UNSCALED, &kern) == 0) total += kern.x;
      }
      total += advance(glyph);
      previous = glyph;
    }
    return static_cast<double>(total) / units_;
  }

 private:
  static std::string font_file(FontWeight weight) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("DejaVu Sans"));
    FcPatternAddInteger(pattern, FC_WEIGHT, weight == FontWeight::Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddInteger(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string file;
    FcChar8* family = nullptr;
    FcChar8* path = nullptr;
    // Only DejaVu Sans itself: another family's widths would misplace text
    // that the browser sets in DejaVu Sans.
    if (match && FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
        std::string(reinterpret_cast<char*>(family)) == "DejaVu Sans" &&
        FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
      file = reinterpret_cast<char*>(path);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return file;
  }

  long advance(FT_UInt glyph) {
    auto it = advances_.find(glyph);
    if (it != advances_.end()) return it->second;
    long a = 0;
    if (FT_Load_Glyph(face_, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) == 0) a = face_->glyph->advance.x;
    advances_.emplace(glyph, a);
    return a;
  }

  FT_Face face_ = nullptr;
  double units_ = 2048;
  std::unordered_map<FT_UInt, long> advances_;
};

class Fonts {
 public:
  Fonts() {
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return;
    }
    normal_ = std::make_unique<FontFace>(library_, FontWeight::Normal);
    bold_ = std::make_unique<FontFace>(library_, FontWeight::Bold);
  }
  ~Fonts() {
    normal_.reset();
    bold_.reset();
    if (library_) FT_Done_FreeType(library_);
    // Fontconfig keeps caches for the life of the process unless told to
    // let them go; nothing measures text after this.
    FcFini();
  }
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;

  FontFace* face(FontWeight weight) {
    FontFace* f = weight == FontWeight::Bold ? bold_.get() : normal_.get();
    return f && f->loaded() ? f : nullptr;
  }
  std::mutex& lock() { return lock_; }

 private:
  FT_Library library_ = nullptr;
  std::unique_ptr<FontFace> normal_, bold_;
  std::mutex lock_;
};

Fonts& fonts() {
  static Fonts instance;
  return instance;
}

// DejaVu Sans' mean advance for text without the font: digits are 0.636 em,
// most letters a little less.
double approximate_em(const std::u32string& text, FontWeight weight) {
  double em = 0;
  for (char32_t c : text) em += c == U' ' ? 0.318 : (c >= U'0' && c <= U'9') ? 0.636 : 0.6;
  return weight == FontWeight::Bold ? em * 1.1 : em;
}

}  // namespace

double text_width(std::string_view text, double size, FontWeight weight) {
  const std::u32string wide = from_utf8(text);
  Fonts& f = fonts();
  std::lock_guard<std::mutex> hold(f.lock());
  FontFace* face = f.face(weight);
  return size * (face ? face->width_em(wide) : approximate_em(wide, weight));
}

// DejaVu Sans: capitals 1493 and descenders 483 font units of 2048.
double cap_height(double size) { return size * 0.729; }
double descent(double size) { return size * 0.236; }

}  // namespace platform::graphs
