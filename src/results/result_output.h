// The output requests of the result tables of a fit, with the failure rule
// they share: a negative status is logged (`xprrlog`) and kept, and every
// later request on the same table is skipped. The caller reads `status`
// once the table is done; a nonzero status ends the step (see jovtab).
#pragma once

#include "host/service_types.h"
#include "host/object_methods.h"

// Catalogue set of every label, title and note of the result tables.
inline constexpr int kResultMessages = 305;

// A catalogue message of the result tables as a text object.
xobskey result_text(int number);

// A matrix of the result tables through one output request (388): `shape`
// "sc" for a packed symmetric matrix (rows = cols), "r" for a dense
// row-major one; the row and column names are text objects. Returns 0, or
// the failing status after logging it.
struct ResultMatrix {
  const char* templ;    // output template
  const char* name;     // output name
  xobskey title;        // label
  xobskey header;       // title shown above it
  const double* values;
  int rows, cols;
  const char* shape;
  xobskey* row_names;
  xobskey* col_names;
};
int emit_result_matrix(void* manager, const ResultMatrix& m);

struct ResultTable {
  wobop yolman = nullptr;  // the step's output manager
  wobop data = nullptr;    // the table or factoid
  wobop output = nullptr;  // its output object, once opened
  int status = 0;          // 0, or the first failing status

  explicit ResultTable(void* manager) : yolman(static_cast<wobop>(manager)) {}

  bool ok() const { return status == 0; }
  // Creates a table ("data", titled through 296) or a factoid ("factoid",
  // titled through 267, with its template).
  bool create_table(const char* name, xobskey title);
  bool create_factoid(const char* name, xobskey title, const char* templ);
  // Creates a data object that only feeds graphs: labelled through 296
  // when `label` is not null.
  bool create_data(const char* name, xobskey label);
  // A column by format letter (`yolinsc`; one not `listed` feeds the other
  // outputs only), or by explicit parameter blocks.
  bool column(int label, const char* name, const char* letter, void* cell, bool listed = true);
  bool column(WOB_PARM_BLK_STR* blocks, int count);
  // Sets a named attribute; its result is not examined.
  void attribute(const char* name, WOB_PARM_BLK_STR value);
  // Ends the definition and opens the output object from the template; the
  // note (tag 377) is attached when not null.
  bool open(const char* templ, xobskey note);
  // Ends the definition and opens the output object from the template as a
  // data output (kept out of the listing) or as a listed table; *path
  // receives the output's path.
  bool open_data(const char* templ, bool data_output, xobskey* path);
  // Commits the row now held by the bound cells.
  bool row();
  // Closes the table and releases its output object, with a note (tag 378)
  // when not null.
  bool finish(xobskey note);
  // Closes a factoid.
  bool close_factoid();

 private:
  bool check(int rc);
};
