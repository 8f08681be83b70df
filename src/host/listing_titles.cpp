#include "host/listing_titles.h"

#include "host/globals.h"
#include "host/pool.h"
#include "host/services.h"

LINESTR* output_line() {
  LINESTR* line = nullptr;
  xpoutl(reinterpret_cast<void*>(task_record()[task::kPrintFile]), &line);
  return line;
}

int zcenter(int length) {
  const LINESTR* l = output_line();
  if (!l || !l->center || l->linesize - length < 0) return 1;
  return (l->linesize - length) / 2 + 1;
}

namespace {
constexpr int kMaxPieces = 10;
constexpr int kTableFlags = 0x2000;

// The task's title table, created on first use.
PTITSTR* title_table(bool create) {
  HostWord& slot = task_record()[task::kTitleTable];
  if (!slot && create)
    slot = reinterpret_cast<HostWord>(vmalcp_handler(task_pool(), sizeof(PTITSTR), kTableFlags));
  return reinterpret_cast<PTITSTR*>(slot);
}
}  // namespace

int zptiti(int split, char* string) {
  PTITSTR* table = title_table(true);
  if (!table) return -1;
  if (!string) {
    table->lines = 0;
    return 0;
  }
  int cursor = 0;
  table->lines = 0;
  for (int k = 0; k < kMaxPieces; ++k) {
    int status = 0, start = 0, length = 0;
    ztxnext(split, string, -1, 0, &status, &start, &length, &cursor);
    table->pos[k] = static_cast<short>(start);
    table->len[k] = static_cast<short>(length);
    table->lines = k + 1;
    if (status < 0) break;
  }
  return table->lines + 1;
}

void zptitx(char* string) {
  PTITSTR* table = title_table(false);
  LINESTR* l = output_line();
  if (!string || !table || !l || table->lines < 1) return;
  if (l->left < table->lines + 1) xppage();
  else xpoflsh();
  const int saved = l->lmargin;
  l->lmargin = 1;
  for (int k = 0; k < table->lines; ++k) {
    xpfmtc(0, string + table->pos[k], table->len[k], zcenter(table->len[k]));
    xpoflsh();
  }
  l->lmargin = saved;
}

int zptitle(char* string) {
  int lines = zptiti(kTitleSplit, string);
  zptitx(string);
  return lines;
}
