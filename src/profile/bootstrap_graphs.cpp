#include "profile/bootstrap_graphs.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "host/missing.h"
#include "procedure/procedure_context.h"
#include "profile/bootstrap.h"
#include "profile/graph_requests.h"
#include "results/result_output.h"

namespace {

constexpr int kMsgDataLabel = 450, kMsgHistTitle = 477, kMsgScatterTitle = 478;
constexpr int kMsgHistGroup = 479, kMsgScatterGroup = 480;

// The value cells of one BootstrapOutputStatistics row.
bool bootstrap_table_template(ResultTable* t, decltype(RUVA_BOOTSTRAP_CONTROL::table_data)* row) {
  struct Column {
    int type;
    void* cell;
    const char* name;
  };
  const Column columns[3] = {{3, &row->boot_index, "BootstrapIndex"},
                             {5, &row->parm_val1, "ParameterValue1"},
                             {5, &row->parm_val2, "ParameterValue2"}};
  if (!t->create_data("BootstrapOutputStatistics", graph_text(kMsgDataLabel))) return false;
  for (const Column& c : columns) {
    WOB_PARM_BLK_STR pb[3] = {wob_int(103, c.type), wob_cell(285, c.cell), wob_text(138, yoltxt(c.name, -1))};
    if (!t->column(pb, 3)) return false;
  }
  return true;
}

// Fills a data object with the converged samples' index and estimates i
// and j (j < 0: the sum of squares) and leaves its path in *path; false, and
// no plot, when there are no samples or one cannot be read.
bool fill_samples(RUVACOM* ctx, int i, int j, xobskey* path) {
  ResultTable t(ctx->yolman);
  if (!bootstrap_table_template(&t, &ctx->ruvabootstrap_control->table_data) ||
      !t.open_data("stat.ruva.BootstrapOutputStatistics", true, path))
    return false;
  const bool all = write_to_table(ctx, i, j, t.data) == 0;
  t.finish(nullptr);
  return all && t.ok() && *path;
}

std::string parameter_name(const RUVACOM* ctx, int i) {
  const CMPSYM* sym = ctx->parmsym->s[i];
  return std::string(sym->name, static_cast<std::size_t>(sym->nameleng));
}

// Opens the family's group before its first plot.
void open_family(RUVACOM* ctx, wobop* group, int flag, const char* name, int label) {
  if (!(flag & kFirstPlot)) return;
  *group = nullptr;
  *group = open_graph_group(ctx, name, graph_text(label));
}

// Ends the family's group after its last plot.
void close_family(wobop* group, int flag) {
  if (!(flag & kLastPlot) || !*group) return;
  end_graph_group(*group);
  *group = nullptr;
}

// Flags for plot k of n of a family whose group is open or not yet.
int plot_flag(const wobop group, long k, long n) { return (group ? 0 : kFirstPlot) | (k == n - 1 ? kLastPlot : 0); }

}  // namespace

void produce_hist_box_plot(RUVACOM* ctx, xobskey* path, wobop* group, int i, int flag) {
  open_family(ctx, group, flag, "BootstrapHistPlots", kMsgHistGroup);
  const std::string name = parameter_name(ctx, i);
  const xobskey title = graph_text(kMsgHistTitle, name.c_str());
  GraphEntries e;
  e.literal(138, "BootstrapHistPlot")
      .literal(339, "stat.ruva.Graphics.BootstrapHistPlot")
      .text(296, title)
      .path(path, 1)
      .var_text("_TITLE", title)
      .var_literal("_PARM", "ParameterValue1")
      .var_text("_PARMNAME", text_of(name))
      .var_double("_PARM_RUVA_VAL", ctx->ruvabootstrap_control->ref.ref_best_parm_vals[i]);
  make_graph(ctx, e);
  close_family(group, flag);
}

void produce_scatter_plot(RUVACOM* ctx, xobskey* path, wobop* group, int i, int j, int flag) {
  open_family(ctx, group, flag, "BootstrapScatterPlots", kMsgScatterGroup);
  const std::string x = parameter_name(ctx, i), y = parameter_name(ctx, j);
  const xobskey title = graph_text(kMsgScatterTitle, y.c_str(), x.c_str());
  const double* ref = ctx->ruvabootstrap_control->ref.ref_best_parm_vals;
  GraphEntries e;
  e.literal(138, "BootstrapScatterPlot")
      .literal(339, "stat.ruva.Graphics.BootstrapScatterPlot")
      .text(296, title)
      .path(path, 1)
      .var_text("_TITLE", title)
      .var_literal("_PARMX", "ParameterValue1")
      .var_literal("_PARMY", "ParameterValue2")
      .var_text("_PARMNAMEX", text_of(x))
      .var_text("_PARMNAMEY", text_of(y))
      .var_double("_PARM_X_RUVA_VAL", ref[i])
      .var_double("_PARM_Y_RUVA_VAL", ref[j]);
  make_graph(ctx, e);
  close_family(group, flag);
}

// A plot whose samples cannot be placed is skipped; the group still opens
// with the first plot made and ends after the family, however many plots
// it holds.
void produce_bootstrap_plots(RUVACOM* ctx) {
  const RUVA_BOOTSTRAP_CONTROL* b = ctx->ruvabootstrap_control;
  const int p = ctx->nparm;
  wobop hist_group = nullptr, scatter_group = nullptr;
  for (int i = 0; b->plots.hist_box && i < p; ++i) {
    xobskey path = nullptr;
    if (fill_samples(ctx, i, -1, &path))
      produce_hist_box_plot(ctx, &path, &hist_group, i, plot_flag(hist_group, i, p));
  }
  end_graph_group(hist_group);
  const long pairs = static_cast<long>(p) * (p - 1) / 2;
  long k = 0;
  for (int i = 0; b->plots.scatter && i < p; ++i)
    for (int j = i + 1; j < p; ++j, ++k) {
      xobskey path = nullptr;
      if (fill_samples(ctx, i, j, &path))
        produce_scatter_plot(ctx, &path, &scatter_group, i, j, plot_flag(scatter_group, k, pairs));
    }
  end_graph_group(scatter_group);
}
