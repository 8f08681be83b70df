// Vectors and matrices emitted as tables through an output template.
#include "host/services.h"
#include "host/output_tables.h"

namespace {

constexpr int kEmit = 388;

int emit(wobop yolman, WOB_PARM_BLK_STR* pb, int np) {
  const int rc = wobmth(yolman, nullptr, kEmit, np, pb);
  if (rc < 0) {
    xprrlog(0, rc);
    return rc;
  }
  return 0;
}

void name_texts(xobskey* wrk, char** name, int n) {
  for (int i = 0; i < n; ++i) wrk[i] = yoltxt(name[i], -1);
}

// The 17 blocks of a square matrix; the two name blocks are filled by the caller.
void matrix_blocks(WOB_PARM_BLK_STR* pb, xobskey templ, double* x, int n, int w, xobskey corner, xobskey title,
                   xobskey outname) {
  pb[0] = wob_text(339, templ);
  pb[1] = wob_text(138, outname);
  pb[2] = wob_text(296, title);
  pb[3] = wob_doubles(389, x);
  pb[4] = wob_int(390, n);
  pb[5] = wob_int(391, n);
  pb[6] = wob_chars(105, "sc", 2);
  pb[7] = wob_int(278, w);
  pb[10] = wob_int(371, 2);
  pb[11] = wob_text(267, title);
  pb[12] = wob_int(280, 1);
  pb[13] = wob_int(366, 1);
  pb[14] = wob_byte(396, 0);
  pb[15] = wob_byte(397, 0);
  pb[16] = wob_text(394, corner);
}

}  // namespace

int yolvec(wobop yolman, xobskey templ, xobskey* wrk, double* v, int n, char** name, int w, long /*lcode*/,
           xobskey title, xobskey oname) {
  name_texts(wrk, name, n);
  WOB_PARM_BLK_STR pb[12] = {wob_text(339, templ), wob_text(138, oname), wob_text(296, title),
                             wob_doubles(389, v),  wob_int(390, 1),       wob_int(391, n),
                             wob_int(278, w),      wob_texts(399, wrk),   wob_int(280, 0),
                             wob_text(267, title), wob_int(280, 1),       wob_int(366, 1)};
  return emit(yolman, pb, 12);
}

int yolmat(wobop yolman, xobskey templ, xobskey* wrk, double* x, int n, char** name, int w, long /*lcode*/,
           xobskey corner, xobskey title, xobskey outname) {
  name_texts(wrk, name, n);
  WOB_PARM_BLK_STR pb[17];
  matrix_blocks(pb, templ, x, n, w, corner, title, outname);
  pb[8] = wob_texts(409, wrk);
  pb[9] = wob_texts(399, wrk);
  return emit(yolman, pb, 17);
}

int yolmatv(wobop yolman, xobskey templ, double* x, int n, VARSTRING* name, int w, long /*lcode*/,
            xobskey corner, xobskey title, xobskey outname) {
  WOB_PARM_BLK_STR pb[17];
  matrix_blocks(pb, templ, x, n, w, corner, title, outname);
  pb[8] = wob_strings(408, name);
  pb[9] = wob_strings(398, name);
  return emit(yolman, pb, 17);
}
