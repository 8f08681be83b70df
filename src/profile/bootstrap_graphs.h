// The bootstrap's graphs: a histogram with box plot of each parameter's
// bootstrap estimates and a scatter plot of each pair, each drawn from a
// data object of the converged samples made just before it.
#pragma once

#include "host/service_types.h"

struct RUVACOM;

// The requested plots of a finished run, read from its converged-sample
// file while the run lasts: histograms first, then scatter plots, each
// family in a group of its own that ends after its last plot.
void produce_bootstrap_plots(RUVACOM* ctx);

// Flags of a plot within its family: the first opens the group, the last
// ends it (a family of one plot has both).
inline constexpr int kFirstPlot = 1, kLastPlot = 2;
void produce_hist_box_plot(RUVACOM* ctx, xobskey* path, wobop* group, int i, int flag);
void produce_scatter_plot(RUVACOM* ctx, xobskey* path, wobop* group, int i, int j, int flag);
