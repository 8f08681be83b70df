// Tables, columns and facts of the output-table library.
#include <algorithm>

#include "host/narrow_strings.h"
#include "host/services.h"
#include "host/output_tables.h"

namespace {

constexpr int kCreate = 147, kSetValue = 164, kEndDefinition = 298, kDefineColumn = 338, kColumnFormat = 346;
constexpr int kTextWidthLong = -256, kTextWidthShort = -32;

// Sets fnam and fdec to none, then fills all four from the letter's row of
// the format table; a letter outside it leaves type and fwid unchanged.
// Returns false for such a letter.
bool get_format(char format, const char** fnam, int* fdec, int* type, int* fwid) {
  struct Row { char letter; int type, width, decimals; const char* name; };
  static const Row kRows[] = {{'L', 4, 6, 0, nullptr},  {'c', 6, 9, 0, nullptr},  {'d', 3, 3, 0, nullptr},
                              {'g', 5, 12, 89, nullptr}, {'i', 3, 6, 0, nullptr},  {'l', 6, 30, 0, nullptr},
                              {'n', 5, 8, 89, nullptr},  {'p', 5, 6, 0, "PVALUE"}, {'s', 5, 5, 2, nullptr},
                              {'t', 6, 15, 0, nullptr}};
  *fnam = nullptr;
  *fdec = 0;
  for (const Row& r : kRows)
    if (r.letter == format) {
      *fnam = r.name;
      *fdec = r.decimals;
      *type = r.type;
      *fwid = r.width;
      return true;
    }
  return false;
}

int text_width(char letter) { return letter == 'l' ? kTextWidthLong : kTextWidthShort; }

// Logs a failing status and returns it for the caller.
int failed(int rc) {
  xprrlog(0, rc);
  return rc;
}

int define_column(wobop table, char letter, xobskey label, const char* name, void* addr, bool listed) {
  const char* fnam;
  int dec, type = 0, width = 0;
  if (!get_format(letter, &fnam, &dec, &type, &width)) {
    xebug("yolinsc: unknown format %c", letter);
    return 1;
  }
  WOB_PARM_BLK_STR pb[7];
  int np = 0;
  if (letter == 'c' || letter == 'l' || letter == 't') {
    pb[np++] = wob_text(138, yoltxt(name, -1));
    pb[np++] = wob_text(296, label);
    pb[np++] = wob_cell(285, addr);
    pb[np++] = wob_int(289, text_width(letter));
    pb[np++] = wob_int(103, 6);
  } else if (letter == 'p') {
    pb[np++] = wob_text(340, yoltxt("PVALUE", -1));
    pb[np++] = wob_text(138, yoltxt(name, -1));
    pb[np++] = wob_text(296, label);
    pb[np++] = wob_cell(285, addr);
    pb[np++] = wob_int(289, kTextWidthShort);
    pb[np++] = wob_int(103, 5);
  } else {
    pb[np++] = wob_int(272, width);
    pb[np++] = wob_int(270, dec);
    pb[np++] = wob_text(138, yoltxt(name, -1));
    pb[np++] = wob_text(296, label);
    pb[np++] = wob_cell(285, addr);
    pb[np++] = wob_int(103, type);
  }
  if (!listed) pb[np++] = wob_flag(kTagNotListed, 1);
  const int rc = wobmth(table, nullptr, kDefineColumn, np, pb);
  return rc < 0 ? failed(rc) : 0;
}

}  // namespace

int yolinsc(wobop data, xobskey colkeyn, const char* colname, const char* format, void* addr, bool listed) {
  return define_column(data, format ? format[0] : '\0', colkeyn, colname, addr, listed);
}

wobop yoltab(YOLTAB* info, wobop yolman) {
  WOB_PARM_BLK_STR create[6] = {wob_chars(143, "yol", 3), wob_chars(146, "data", 4), wob_object(144, nullptr),
                                wob_int(148, -1), wob_text(296, info->title_key),
                                wob_text(138, yoltxt(info->data_name, -1))};
  int rc = wobmth(yolman, nullptr, kCreate, 6, create);
  if (rc < 0) return xprrlog(0, rc), nullptr;
  wobop table = create[2].d.op;
  for (int i = 0; i < info->ncols; ++i) {
    const char* fnam;
    int dec, type = 0, width = 0;
    const char letter = info->formats[i];
    if (!get_format(letter, &fnam, &dec, &type, &width)) {
      xebug("yoltab: unknown format %c", letter);
      return nullptr;
    }
    WOB_PARM_BLK_STR pb[7] = {wob_int(272, width), wob_int(270, dec), wob_text(138, yoltxt(info->colnames[i], -1)),
                              wob_text(296, info->colkeyn[i]), wob_cell(285, info->addrs[i]),
                              wob_int(289, text_width(letter)), wob_int(103, type)};
    if ((rc = wobmth(table, nullptr, kDefineColumn, 7, pb)) < 0) return xprrlog(0, rc), nullptr;
    if (fnam) {
      WOB_PARM_BLK_STR fmt[2] = {wob_int(347, i + 1), wob_text(340, yoltxt(fnam, -1))};
      if ((rc = wobmth(table, nullptr, kColumnFormat, 2, fmt)) < 0) return xprrlog(0, rc), nullptr;
    }
  }
  if ((rc = wobmth(table, nullptr, kEndDefinition, 0, nullptr)) < 0) return xprrlog(0, rc), nullptr;
  return table;
}

int yoladdf(wobop fact, xobskey label, const void* value, const char* format) {
  WOB_PARM_BLK_STR pb[3];
  pb[0] = wob_text(296, label);
  int np = 2;
  const char letter = format ? format[0] : '\0';
  switch (letter) {
    case 'i': pb[1] = wob_int(287, *static_cast<const std::int32_t*>(value)); break;
    case 'd': pb[1] = wob_long(287, *static_cast<const std::int64_t*>(value)); break;
    case 'n':
    case 'p':
      pb[1] = wob_double(287, *static_cast<const double*>(value));
      pb[np++] = wob_text(340, yoltxt(letter == 'n' ? "BEST8." : "PNAME6.", -1));
      break;
    case 'l':
    case 's': {
      const char* text = static_cast<const char*>(value);
      const int k = letter == 'l' ? wzstlen(text) : std::min(wzstlen(text), 256);
      pb[1] = wob_text(287, yoltxt(text, letter == 'l' ? -1 : k));
      pb[np++] = wob_int(272, k);
      break;
    }
    default:
      xebug("yoladdfact: unknown format %s", format ? format : "");
      return 1;
  }
  const int rc = wobmth(fact, nullptr, kSetValue, np, pb);
  return rc < 0 ? failed(rc) : 0;
}

void zyolexit(int orc) {
  xprrlog(0, orc);
  const auto code = static_cast<std::uint32_t>(orc);
  if (((code >> 11) & 0x7ff) == 63 && (code & 0x7ff) == 53) return;
  xexit(120, 0);
}
