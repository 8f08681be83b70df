// zpmat2: prints a matrix on the listing. It fits the columns to the line,
// splits a wide matrix into balanced panels of whole columns, keeps panels
// and row groups on one page where it can, chooses the number format and
// centres each panel. Value fields go straight into the line buffer and are
// clipped to the line.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "host/globals.h"
#include "host/listing_titles.h"
#include "host/matrix_printer.h"
#include "host/missing.h"
#include "host/narrow_strings.h"
#include "host/pool.h"
#include "host/services.h"

namespace {

constexpr int kWorkFlags = 0x2004;
constexpr int kBestCode = 99;

// What the set-up and column fitting decide, shared by the printing steps.
struct Layout {
  int w = 0;          // value field width
  int colspace = 2;   // blanks between columns
  int labw = 0;       // width of the label column, 0 without one
  int extra = 0;      // widening added to every column
  int nspace = 0;     // blanks before each value field
  int nperl = 1;      // columns in a panel
  int dec = 0;        // the decimal code for every value
  int expdec = 0;     // the code of small values
  double small = 0;   // threshold of small values, 0 for none
  int* coldec = nullptr;       // per-column decimals (format 'c')
  double* colsmall = nullptr;  // per-column thresholds (format 'c')
  int* own_coldec = nullptr;   // pool arrays to release
  double* own_colsmall = nullptr;
};

void resolve_settings(PMATSTR* pmat, ZPMAT2_COMMON* com) {
  *com = ZPMAT2_COMMON{};
  com->matrix = pmat->matrix;
  com->shape = pmat->shape;
  com->rows = pmat->rows;
  com->cols = pmat->cols;
  com->width = pmat->width;
  com->skip = pmat->skip;
  com->decptr = pmat->decptr;
  com->dimen = pmat->dimen ? pmat->dimen : (pmat->shape == 'c' ? pmat->rows : pmat->cols);
  com->valfun = pmat->valfun ? pmat->valfun : &zpmval;
  com->prtfun = pmat->prtfun;
  com->prtbit = pmat->prtfun != nullptr;
  com->sbit = pmat->sigbit;
  com->rowfun = pmat->rowfun ? pmat->rowfun : &zpmrow;
  com->colfun = pmat->colfun ? pmat->colfun : &zpmcol;
  com->titfun = pmat->titfun ? pmat->titfun : &zptitx;
  com->rowname = pmat->rowname;
  com->colname = pmat->colname;
  com->label = pmat->label;
  com->corner = pmat->corner;
  com->title = pmat->title;
  com->rowsize = pmat->rowsize ? pmat->rowsize : 8;
  com->rowoffset = pmat->rowoffset ? pmat->rowoffset : com->rowsize;
  com->colsize = pmat->colsize ? pmat->colsize : 8;
  com->coloffset = pmat->coloffset ? pmat->coloffset : com->colsize;
  com->labsize = pmat->labsize ? pmat->labsize : 40;
  com->laboffset = pmat->laboffset ? pmat->laboffset : com->labsize;

  // The name widths become the widest names actually present.
  if (!pmat->rowname && !pmat->rowfun) com->rowsize = 0;
  else if (!pmat->rowfun) com->rowsize = wzstmax(pmat->rowname, com->rowsize, com->rowoffset, com->rows);
  if (!pmat->colname && !pmat->colfun) com->colsize = 0;
  else if (!pmat->colfun) com->colsize = wzstmax(pmat->colname, com->colsize, com->coloffset, com->cols);
  com->labsize = pmat->label ? wzstmax(pmat->label, com->labsize, com->laboffset, com->rows) : 0;

  com->titlines = pmat->titfun ? pmat->titlines : zptiti(kTitleSplit, pmat->title);
  int length = 0;
  const char* formchar = xoptcgt("FORMCHAR", &length);
  com->form = formchar && length >= 2 ? formchar[1] : '-';
  com->maxrow = com->rowsize;
  if (com->maxrow && pmat->corner) com->maxrow = std::max(com->maxrow, wzstlen(pmat->corner));
}

void fit_columns(PMATSTR* pmat, ZPMAT2_COMMON* com, const LINESTR* line, Layout* lay) {
  int avail = line->linesize - com->maxrow;
  lay->colspace = pmat->space == 0 ? 2 : std::max(pmat->space, 0);
  const int expand = pmat->expand == 0 ? 4 : std::max(pmat->expand, 0);
  if (com->width == 0) lay->w = std::clamp(avail / com->cols - lay->colspace, 8, 12);
  else lay->w = std::min(std::abs(com->width), 32);
  com->maxcol = std::max(lay->w, com->colsize) + lay->colspace;

  // The label column never takes negative room.
  lay->labw = std::clamp(std::min(com->labsize, avail - com->maxcol - lay->colspace), 0, com->labsize);
  if (lay->labw) avail -= lay->labw + lay->colspace;

  lay->nperl = std::clamp(avail / com->maxcol, 1, com->cols);
  if (lay->nperl < com->cols) {
    const int npanels = (com->cols - 1 + lay->nperl) / lay->nperl;
    lay->nperl = (com->cols - 1 + npanels) / npanels;
  }
  int spare = avail - com->maxcol * lay->nperl;
  if (com->width == 0) {
    lay->w = std::min(lay->w + spare / lay->nperl, 12);
    com->maxcol = std::max(lay->w, com->colsize) + lay->colspace;
    spare = avail - com->maxcol * lay->nperl;
  }
  lay->extra = std::clamp(spare / (lay->nperl + (lay->labw ? 1 : 0)), 0, expand);
  com->maxcol += lay->extra;
  lay->nspace = com->maxcol - lay->w;
}

double largest_magnitude(PMATSTR* pmat, ZPMAT2_COMMON* com, int c_first, int c_end) {
  double maxabs = 0;
  for (int r = 0; r < com->rows; ++r)
    for (int c = c_first; c < c_end; ++c) {
      const double v = com->valfun(pmat, r, c);
      if (!wzmis(v) && std::fabs(v) > maxabs) maxabs = std::fabs(v);
    }
  return maxabs;
}

void choose_format(PMATSTR* pmat, ZPMAT2_COMMON* com, Layout* lay) {
  switch (pmat->format) {
    case 'b': lay->dec = kBestCode; break;
    case 'e': lay->dec = -99; break;
    case 'q': lay->dec = 98; break;
    case 'p':
      lay->w = 6;
      lay->nspace = com->maxcol - 6;
      return;
    case 'c':
      lay->coldec = com->decptr;
      if (!lay->coldec) {
        lay->own_coldec = static_cast<int*>(vmalcp_handler(step_pool(), sizeof(int) * com->cols, kWorkFlags));
        lay->coldec = lay->own_coldec;
        if (lay->coldec)
          for (int j = 0; j < com->cols; ++j) lay->coldec[j] = zpfmt(largest_magnitude(pmat, com, j, j + 1), lay->w);
      }
      if (!lay->coldec) lay->dec = kBestCode;
      break;
    default:
      lay->dec = com->decptr ? com->decptr[0] : zpfmt(largest_magnitude(pmat, com, 0, com->cols), lay->w);
      break;
  }
  if (!com->sbit) return;
  lay->expdec = -std::clamp(lay->w - 7, 1, 8);
  if (!lay->coldec) {
    lay->small = zpmsmal(lay->w, lay->dec);
    return;
  }
  lay->own_colsmall = static_cast<double*>(vmalcp_handler(step_pool(), sizeof(double) * com->cols, kWorkFlags));
  lay->colsmall = lay->own_colsmall;
  if (!lay->colsmall) {
    com->sbit = 0;
    return;
  }
  for (int j = 0; j < com->cols; ++j) lay->colsmall[j] = zpmsmal(lay->w, lay->coldec[j]);
}

// Writes a formatted field at buffer column `start`, clipped to the line.
void put_field(LINESTR* line, int start, const char* field, int width) {
  const int last = linestr_last_column(line);
  if (start < 1 || start > last) return;
  std::memcpy(line->out + start, field, static_cast<std::size_t>(std::min(width, last - start + 1)));
}

void print_value(PMATSTR* pmat, ZPMAT2_COMMON* com, const Layout& lay, LINESTR* line, int start) {
  char field[33];
  double v = com->valfun(pmat, com->r, com->c);
  if (pmat->format == 'p') {
    zpvalue(v, lay.w, 4, field);
  } else {
    int dec = lay.coldec ? lay.coldec[com->c] : lay.dec;
    const double small = lay.colsmall ? lay.colsmall[com->c] : lay.small;
    if (com->sbit && !wzmis(v) && v != 0 && std::fabs(v) < small) dec = lay.expdec;
    WZ_FMTPAR request{};
    request.w = lay.w;
    request.d = dec;
    request.from = &v;
    request.fromw = 8;
    request.to = field;
    request.tow = lay.w;
    zfmt(&request);
  }
  put_field(line, start, field, lay.w);
}

void print_heading(PMATSTR* pmat, ZPMAT2_COMMON* com, LINESTR* line) {
  if (!com->colsize) return;
  xpoflsh();
  line->type = pmat->highbit ? 'h' : 'd';
  if (com->corner) xpfmtc(0, com->corner, -1, 0);
  line->colnum = com->maxrow;
  for (int c = com->c1; c < com->c2; ++c) com->colfun(pmat, c, com->maxcol);
  if (pmat->underbit) {
    const int n = line->colnum;
    xpoflsh();
    xpfmtcr(0, com->form, 1, n, 1);
  }
}

void page_break(PMATSTR* pmat, ZPMAT2_COMMON* com, LINESTR* line) {
  xppage();
  com->titfun(com->title);
  print_heading(pmat, com, line);
}

void print_row(PMATSTR* pmat, ZPMAT2_COMMON* com, const Layout& lay, LINESTR* line) {
  xpoflsh();
  line->type = 'd';
  com->rowfun(pmat, com->r, com->maxrow);
  for (com->c = com->c1; com->c < com->c2; ++com->c) {
    if (com->prtbit) {
      if (com->c == com->c1) line->colnum = com->maxrow;
      line->colnum += lay.nspace;
      com->prtfun(pmat, com->r, com->c);
    } else {
      print_value(pmat, com, lay, line, lay.nspace + 1 + com->maxrow + (com->c - com->c1) * com->maxcol);
    }
  }
  if (!com->prtbit) line->colnum = com->maxrow + (com->c2 - com->c1) * com->maxcol;
  if (lay.labw)
    xpfmtc(0, com->label + static_cast<long>(com->r) * com->laboffset, lay.labw, -(lay.extra + lay.colspace));
}

void print_rows(PMATSTR* pmat, ZPMAT2_COMMON* com, const Layout& lay, LINESTR* line) {
  for (com->r = 0; com->r < com->rows; ++com->r) {
    if (com->r > 0) {
      if (com->skip > 0 && com->r % com->skip == 0) {
        const int group = std::min(com->skip, com->rows - com->r);
        if (group + 1 < line->left) xpskip(1);
        else page_break(pmat, com, line);
      } else if (line->left <= 1) {
        page_break(pmat, com, line);
      }
    }
    print_row(pmat, com, lay, line);
  }
}

// Page control and margin before a panel; returns the panel's width.
int start_panel(PMATSTR* pmat, ZPMAT2_COMMON* com, const Layout& lay, LINESTR* line) {
  int needed = line->lineone ? 1 : com->rows + (com->skip > 0 ? (com->rows - 1) / com->skip : 0);
  needed += 2;
  const bool first = com->c1 == 0;
  if (first && com->title) {
    if (line->left <= needed + 1 + com->titlines) xppage();
    xpoflsh();
    line->type = 'h';
    com->titfun(com->title);
  } else if (first) {
    if (line->left <= needed) xppage();
  } else if (line->left <= needed + 2) {
    xppage();
    if (com->title) com->titfun(com->title);
  } else {
    xpskip(2);
  }
  int total = com->maxrow + (com->c2 - com->c1) * com->maxcol;
  if (lay.labw) total += lay.labw + lay.extra + lay.colspace;
  if (first || !pmat->alignbit) line->lmargin = zcenter(total);
  if (first) {
    pmat->lmargin = line->lmargin;
    pmat->length = total;
  }
  return total;
}

}  // namespace

int zpmat2(PMATSTR* pmat) {
  if (pmat->rows < 1 || pmat->cols < 1) return 0;
  LINESTR* line = output_line();
  if (!line) return 0;
  ZPMAT2_COMMON com;
  pmat->internal = &com;
  resolve_settings(pmat, &com);
  Layout lay;
  fit_columns(pmat, &com, line, &lay);
  if (!com.prtbit) choose_format(pmat, &com, &lay);

  const int entry_margin = line->lmargin;
  for (com.c1 = 0; com.c1 < com.cols; com.c1 += lay.nperl) {
    com.c2 = std::min(com.c1 + lay.nperl, com.cols);
    start_panel(pmat, &com, lay, line);
    print_heading(pmat, &com, line);
    print_rows(pmat, &com, lay, line);
  }
  xpoflsh();
  if (lay.own_coldec) vmfree_handler(step_pool(), lay.own_coldec, 0, 4);
  if (lay.own_colsmall) vmfree_handler(step_pool(), lay.own_colsmall, 0, 4);
  line->lmargin = entry_margin;
  pmat->internal = nullptr;
  return 0;
}
