#include "results/result_output.h"

#include <cstring>

#include "host/services.h"
#include "host/output_tables.h"

namespace {
constexpr int kCreate = 147, kAttribute = 316, kColumn = 338, kEndDefinition = 298;
constexpr int kClose = 299, kRow = 329, kOpenOutput = 422, kReleaseOutput = 428, kEmitMatrix = 388;

xobskey text(const char* s) { return yoltxt(s, -1); }
}  // namespace

xobskey result_text(int number) { return yolmsg(kResultMessages, number); }

int emit_result_matrix(void* manager, const ResultMatrix& m) {
  WOB_PARM_BLK_STR pb[14] = {wob_text(339, text(m.templ)),
                             wob_text(138, text(m.name)),
                             wob_text(296, m.title),
                             wob_doubles(389, m.values),
                             wob_int(390, m.cols),
                             wob_int(391, m.rows),
                             wob_text(105, yoltxt(m.shape, -1)),
                             wob_int(278, 10),
                             wob_texts(409, m.col_names),
                             wob_texts(399, m.row_names),
                             wob_int(371, 2),
                             wob_text(267, m.header),
                             wob_int(280, 1),
                             wob_int(366, 1)};
  const int rc = wobmth(static_cast<wobop>(manager), nullptr, kEmitMatrix, 14, pb);
  if (rc >= 0) return 0;
  xprrlog(0, rc);
  return rc;
}

bool ResultTable::check(int rc) {
  if (rc >= 0) return true;
  xprrlog(0, rc);
  status = rc;
  return false;
}

bool ResultTable::create_table(const char* name, xobskey title) {
  WOB_PARM_BLK_STR pb[6] = {wob_chars(143, "yol", 3),   wob_chars(146, "data", 4),
                            wob_object(144, nullptr),   wob_int(148, -1),
                            wob_text(138, text(name)),  wob_text(296, title)};
  if (!check(wobmth(yolman, nullptr, kCreate, 6, pb))) return false;
  data = pb[2].d.op;
  return true;
}

bool ResultTable::create_data(const char* name, xobskey label) {
  WOB_PARM_BLK_STR pb[6] = {wob_chars(143, "yol", 3), wob_chars(146, "data", 4), wob_object(144, nullptr),
                            wob_int(148, -1),         wob_text(296, label),      wob_text(138, text(name))};
  if (!label) pb[4] = pb[5];
  if (!check(wobmth(yolman, nullptr, kCreate, label ? 6 : 5, pb))) return false;
  data = pb[2].d.op;
  return true;
}

bool ResultTable::create_factoid(const char* name, xobskey title, const char* templ) {
  WOB_PARM_BLK_STR pb[7] = {wob_chars(143, "yol", 3),  wob_chars(146, "factoid", 7),
                            wob_object(144, nullptr),  wob_int(148, -1),
                            wob_text(339, text(templ)), wob_text(138, text(name)),
                            wob_text(267, title)};
  if (!check(wobmth(yolman, nullptr, kCreate, 7, pb))) return false;
  data = pb[2].d.op;
  return true;
}

bool ResultTable::column(int label, const char* name, const char* letter, void* cell, bool listed) {
  if (!ok()) return false;
  const int rc = yolinsc(data, result_text(label), name, letter, cell, listed);
  if (rc == 0) return true;
  status = rc;  // yolinsc has logged a failing status itself
  return false;
}

bool ResultTable::column(WOB_PARM_BLK_STR* blocks, int count) {
  return ok() && check(wobmth(data, nullptr, kColumn, count, blocks));
}

void ResultTable::attribute(const char* name, WOB_PARM_BLK_STR value) {
  if (!ok()) return;
  value.tag = 287;
  WOB_PARM_BLK_STR pb[2] = {wob_text(311, text(name)), value};
  wobmth(data, nullptr, kAttribute, 2, pb);
}

bool ResultTable::open(const char* templ, xobskey note) {
  if (!ok() || !check(wobmth(data, nullptr, kEndDefinition, 0, nullptr))) return false;
  WOB_PARM_BLK_STR pb[4] = {wob_object(0, nullptr), wob_object(0, data), wob_text(339, text(templ)),
                            wob_text(377, note)};
  if (!check(wobmth(yolman, nullptr, kOpenOutput, note ? 4 : 3, pb))) return false;
  output = pb[0].d.op;
  return true;
}

bool ResultTable::open_data(const char* templ, bool data_output, xobskey* path) {
  if (!ok() || !check(wobmth(data, nullptr, kEndDefinition, 0, nullptr))) return false;
  WOB_PARM_BLK_STR pb[5] = {wob_object(0, nullptr), wob_object(504, data), wob_flag(2640, data_output ? 1 : 0),
                            wob_text(339, text(templ)), wob_key_slot(784, path)};
  if (!check(wobmth(yolman, nullptr, kOpenOutput, 5, pb))) return false;
  output = pb[0].d.op;
  return true;
}

bool ResultTable::row() { return ok() && check(wobmth(data, nullptr, kRow, 0, nullptr)); }

bool ResultTable::finish(xobskey note) {
  if (!ok() || !check(wobmth(data, nullptr, kClose, 0, nullptr))) return false;
  WOB_PARM_BLK_STR pb[2] = {wob_object(0, output), wob_text(378, note)};
  return check(wobmth(yolman, nullptr, kReleaseOutput, note ? 2 : 1, pb));
}

bool ResultTable::close_factoid() { return ok() && check(wobmth(data, nullptr, kClose, 0, nullptr)); }
