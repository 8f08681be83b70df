// Checks of the text the graphs and the report write: well-formed XML, by
// the expat parser, and valid UTF-8.
#pragma once

#include <expat.h>

#include <string>

// "" when `text` is a well-formed XML document, else expat's complaint
// with its line.
inline std::string xml_error(const std::string& text) {
  XML_Parser parser = XML_ParserCreate("UTF-8");
  std::string error;
  if (XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_OK)
    error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
            std::to_string(XML_GetCurrentLineNumber(parser));
  XML_ParserFree(parser);
  return error;
}

// Whether `text` is UTF-8: shortest forms only, no surrogates, nothing past
// U+10FFFF.
inline bool valid_utf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int extra = lead < 0x80 ? 0 : lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
                                    : lead >= 0xF0 && lead <= 0xF4 ? 3 : -1;
    if (extra < 0 || i + extra >= text.size()) return false;
    unsigned long c = extra ? lead & (0x3F >> extra) : lead;
    for (int k = 1; k <= extra; ++k) {
      const auto b = static_cast<unsigned char>(text[i + k]);
      if ((b & 0xC0) != 0x80) return false;
      c = c << 6 | (b & 0x3F);
    }
    static const unsigned long least[] = {0, 0x80, 0x800, 0x10000};
    if (c < least[extra] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return false;
    i += extra + 1;
  }
  return true;
}
