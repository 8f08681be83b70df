// Listing titles, centring and p-value fields: the small routines the
// matrix printers stand on. All of them write through the output line
// record of the step's print file.
#pragma once

#include "host/listing_line.h"

// The title table of a task: where each piece of the last title split by
// `zptiti` starts in the title text, and its length. At most 10 pieces.
struct PTITSTR {
  int lines;
  short pos[10];
  short len[10];
};

inline constexpr int kTitleSplit = 0x20000;

// The output line record of the step's print file.
LINESTR* output_line();

// The 1-based left margin that centres a block of `length` columns: 1 when
// centring is off or the block is wider than the line.
int zcenter(int length);
// Splits `string` into title pieces and keeps them in the task's title
// table; returns the number of pieces plus 1, 0 for a null string, -1 when
// the table cannot be allocated.
int zptiti(int split, char* string);
// Prints the kept pieces of `string`, each centred on its own line.
void zptitx(char* string);
int zptitle(char* string);
// Writes the p-value x into the w bytes at buffer: "<.0001" style below
// 10^-d, the missing mark for a missing value.
int zpvalue(double x, int w, int d, char* buffer);
