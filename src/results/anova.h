// The analysis of variance of a fit: its figures, computed whether or not
// the table is printed, and the ANOVA table.
#pragma once

struct RUVACOM;

// What the figures are computed from.
struct AnovaInput {
  double sumw = 0;     // sum of weights
  double sumy = 0;     // of weighted responses
  double sumy2 = 0;    // of weighted squared responses
  double sumwsse = 0;  // weighted error sum of squares
  double epsilon = 0;  // SINGULAR=: sums below it times sumy2 count as 0
  long iobs = 0;       // observations used
  int estimated = 0;   // parameters estimated (status '1')
  int constrained = 0; // rank of the active constraints' rows over the estimated parameters
  bool uncorrected_df = false;  // UNCORRECTEDDF: the constraints keep their degrees of freedom
  bool intercept = false;       // the model row is corrected for the mean
};

// The rows of the table. Quantities that cannot be formed are the special
// missing value.
struct AnovaFigures {
  bool corrected = false;  // model row and first total corrected for the mean
  long model_df = 0, error_df = 0, uncorrected_df = 0, corrected_df = 0;
  double model_ss = 0, error_ss = 0, uncorrected_ss = 0, corrected_ss = 0;
  double model_ms = 0, error_ms = 0;
  double f = 0, p = 0;  // F value of the model row and its probability
};

AnovaFigures anova_figures(const AnovaInput& in);

// The input as the fit left it in the context.
AnovaInput anova_input(const RUVACOM* ctx, bool intercept);

// The ANOVA table, with notes 305/71 (no intercept) and 305/62 (singular
// parameters); returns 0 or the failing output status.
int print_anova(RUVACOM* ctx, const AnovaFigures& a, bool singular);

// The log notes of the ANOVA step: 305/61 for a negative model sum of
// squares, 305/62 when some parameter is singular; each names the BY group.
void log_anova_notes(const RUVACOM* ctx, const AnovaFigures& a, bool singular);
