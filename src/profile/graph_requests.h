// The graphs of a fit as requests to the output service: the entry arrays
// of graphs and their dynamic variables, graph groups, the panel layout,
// the names and labels under which model variables are shown, and the
// inset statistics that several graph families share. The output service
// draws each graph from its template; these requests only name it, place
// it under an output path and set the template's dynamic variables.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/compiler_types.h"
#include "host/dataset_types.h"
#include "host/object_methods.h"
#include "host/services.h"
#include "results/variable_texts.h"

struct RUVACOM;
struct RUVAPLOT_STATS;

// Catalogue set of every graph text.
inline constexpr int kGraphMessages = 305;

// The entries of one request, in the order they are added. Dynamic
// variables are pairs: 311 the variable's name, then 287 its value; a null
// text value stands for "none".
class GraphEntries {
 public:
  GraphEntries& text(int tag, xobskey value);
  GraphEntries& literal(int tag, const char* value);
  GraphEntries& path(xobskey* keys, int count);
  GraphEntries& block(int tag, WOB_PARM_BLK_STR* entries, int count);
  GraphEntries& var_text(const char* name, xobskey value);
  GraphEntries& var_literal(const char* name, const char* value);  // null: none
  GraphEntries& var_int(const char* name, std::int32_t value);
  GraphEntries& var_double(const char* name, double value);
  WOB_PARM_BLK_STR* data() { return entries_.data(); }
  int size() const { return static_cast<int>(entries_.size()); }

 private:
  GraphEntries& name(const char* var);
  std::vector<WOB_PARM_BLK_STR> entries_;
};

// A message of the graph set as a text object, without or with
// substitutions (printf style, as the catalogue text expects).
xobskey graph_text(int number);
template <class... Args>
xobskey graph_text(int number, Args... args) {
  return yolmsgs(kGraphMessages, number, args...);
}

// The text of a message of the graph set, for substitution into another.
std::string message_string(int number);

// Makes one graph (request 2826). A failing request ends the step through
// zyolexit, which lets the "skipped" status pass.
void make_graph(RUVACOM* ctx, GraphEntries& entries);

// A graph of the families that share one prepared block of dynamic
// variables (attribute 174): name, template, label, second text, and the
// title passed as "_TITLE" before the block.
struct BlockGraph {
  const char* name;
  const char* templ;
  xobskey label, description, title;
};
void make_block_graph(RUVACOM* ctx, xobskey* path, const BlockGraph& g, GraphEntries& block);

// Opens a group of graphs (request 300); null when the service made none.
wobop open_graph_group(RUVACOM* ctx, const char* name, xobskey label);
// Ends a group opened above; nothing for a null group.
void end_graph_group(wobop group);

// The grid of a panel of n plots.
struct PanelLayout {
  int rows, cols, panels, per_panel;
};
PanelLayout get_panel_parms(int n);


// The dependent variable: the first symbol of the model's response list.
const CMPSYM* dependent_symbol(const RUVACOM* ctx);

// The fit statistics a graph may show in an inset, with their switches.
struct InsetStats {
  std::int32_t show, show_nobs, show_nparm, show_mse, show_var, show_pvar;
  std::int32_t show_maxin, show_maxpe, show_curvcrit, show_rmsin, show_rmspe;
  std::int32_t nobs, nparm;
  double mse, var, pvar, maxin, maxpe, curvcrit, rmsin, rmspe;
};
// `fit_values_always`: the observation count, parameter count, MSE and
// residual variance are the fit's even without a selection (the
// diagnostics and leverage blocks); otherwise every value is 0 without one
// (the fit plots).
InsetStats inset_stats(const RUVACOM* ctx, const RUVAPLOT_STATS* stats, bool fit_values_always);
// The inset pairs in the order of the fit plots.
void add_fit_plot_inset(GraphEntries& e, const InsetStats& s);
// The shared blocks of the diagnostics and leverage graphs interleave them:
// the counts, MSE and curvature values with their switches, then later the
// two residual variances with theirs.
void add_panel_inset_curvatures(GraphEntries& e, const InsetStats& s);
void add_panel_inset_variances(GraphEntries& e, const InsetStats& s);

// Whether a prepared block of dynamic variables holds the expected number
// of entries; logs the failure when not.
bool check_scalar_block(const GraphEntries& e, int expected);

// The error variance of the fit from its residuals alone: the weighted sum
// of squares over n − rank + active constraints; missing when that is
// below 1 or the sum is not positive.
double raw_residual_variance(const RUVACOM* ctx);
