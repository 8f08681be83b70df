// zpsmat: prints a packed symmetric matrix with the same names on rows and
// columns. One blank between columns is used only when it saves a panel.
#include <algorithm>

#include "host/listing_titles.h"
#include "host/matrix_printer.h"
#include "host/narrow_strings.h"
#include "host/services.h"
#include "linalg/packed.h"

namespace {

constexpr int kWidestColumn = 14;

// The layout shared by the panels.
struct G {
  int n;         // order of the matrix
  int rnw;       // width of the row-name column
  int cnw;       // width of a column
  int space;     // blanks between columns
  int nperline;  // columns in a panel
  int npanels;
};

char* name_of(char** name, int i) {
  static char empty[] = "";
  return name && name[i] ? name[i] : empty;
}

bool has_text(const char* s) { return s && *s; }

int panels_for(int n, int per_panel) { return (n + per_panel - 1) / per_panel; }

void choose_panels(G* g, const LINESTR* line) {
  const int room = line->linesize - g->rnw;
  const int p2 = std::max(room / (g->cnw + 2), 1);
  const int np2 = panels_for(g->n, p2);
  g->space = 2;
  g->nperline = p2;
  if (np2 >= 2) {
    const int p1 = std::max(room / (g->cnw + 1), 1);
    if (panels_for(g->n, p1) != np2) {
      g->space = 1;
      g->nperline = p1;
    }
  }
  g->npanels = panels_for(g->n, g->nperline);
}

void print_heading(const G& g, LINESTR* line, char** name, int c0, int k, char* corner, char* title1,
                   char* title2) {
  xpsout("%1.*n", g.n + 6);
  line->lmargin = 1;
  if (has_text(title1)) {
    line->type = 'h';
    xpsout("%a%s", title1);
    if (has_text(title2)) xpsout("%s", title2);
    xpskip(2);
    line->cindent = 0;
    line->autocent = 0;
    line->type = 'd';
  }
  xps("%-1.*s", g.rnw, corner);
  for (int c = c0; c < c0 + k; ++c) xps("%+*t%-1.*s", g.space, -g.cnw, name_of(name, c));
  line->lmargin = zcenter(line->colnum);
  xpskip(2);
}

}  // namespace

void zpsmat(double* x, int nn, char** name, int w, long lcode, char* corner, char* title1, char* title2) {
  if (nn < 1 || !x) return;
  LINESTR* line = output_line();
  if (!line) return;
  static char empty[] = "";
  if (!corner) corner = empty;
  const int saved_margin = line->lmargin;
  line->lmargin = 1;
  line->cindent = 0;
  line->autocent = 0;
  line->type = 'd';

  G g{};
  g.n = nn;
  int longest = 0;
  for (int i = 0; i < nn; ++i) longest = std::max(longest, wzstlen(name_of(name, i)));
  g.rnw = std::max(longest, wzstlen(corner));
  g.cnw = std::min(std::max(longest, w), kWidestColumn);
  choose_panels(&g, line);

  for (int c0 = 0; c0 < nn; c0 += g.nperline) {
    const int k = std::min(g.nperline, nn - c0);
    print_heading(g, line, name, c0, k, corner, title1, title2);
    for (int r = 0; r < nn; ++r) {
      if (line->left < 2) print_heading(g, line, name, c0, k, corner, title1, title2);
      xps("%-1.*s", g.rnw, name_of(name, r));
      for (int c = c0; c < c0 + k; ++c) xps("%+*t%*.$f", g.space, g.cnw, lcode, x[zisub(r, c)]);
      xpoflsh();
    }
    xpskip(1);
  }
  line->lmargin = saved_margin;
  line->cindent = 0;
  line->autocent = 0;
}
