#include "platform/language/option_table.h"

#include <cstdio>

namespace platform::language {
namespace {

using C = OptionContext;
using K = OptionKind;
constexpr double kOpen = kNoBound;
constexpr std::array<int, 4> kNone = {-1, -1, -1, -1};

constexpr std::array<int, 4> B(int a, int b = -1, int c = -1, int d = -1) { return {a, b, c, d}; }

constexpr OptionSpec flag(C ctx, const char* kw, std::array<int, 4> bits) {
  return {ctx, kw, K::Flag, bits, -1, kOpen, kOpen, nullptr, C::None, C::None, -1, 0};
}
constexpr OptionSpec number(C ctx, const char* kw, int field, double low = kOpen, double high = kOpen) {
  return {ctx, kw, K::Number, kNone, field, low, high, nullptr, C::None, C::None, -1, 0};
}
constexpr OptionSpec keyword(C ctx, const char* kw, int field, const char* values) {
  return {ctx, kw, K::Keyword, kNone, field, kOpen, kOpen, values, C::None, C::None, -1, 0};
}
constexpr OptionSpec dataset(C ctx, const char* kw, int field, int use) {
  return {ctx, kw, K::Dataset, kNone, field, kOpen, kOpen, nullptr, C::None, C::None, -1, use};
}
constexpr OptionSpec names(C ctx, const char* kw, int field) {
  return {ctx, kw, K::Names, kNone, field, kOpen, kOpen, nullptr, C::None, C::None, -1, 0};
}
constexpr OptionSpec choice(C ctx, const char* kw, std::array<int, 4> bits, C sub, C list = C::None,
                            int list_bit = -1) {
  return {ctx, kw, K::Choice, bits, -1, kOpen, kOpen, nullptr, sub, list, list_bit, 0};
}
constexpr OptionSpec group(C ctx, const char* kw, int bit, C sub) {
  return {ctx, kw, K::Group, B(bit), -1, kOpen, kOpen, nullptr, sub, C::None, -1, 0};
}

constexpr const char* kResidualType = "RAW|PROJ|PROJECTED$|BOTH";

// The option table. Bits and fields are those the set-up phase reads.
const OptionSpec kOptions[] = {
    // PROC RUVA
    dataset(C::Proc, "DATA", 9, 1),
    dataset(C::Proc, "OUTEST", 10, 2),
    flag(C::Proc, "EFORMAT", B(2)),
    flag(C::Proc, "NOHALVE|NOHALF", B(3)),
    flag(C::Proc, "G4|MP", B(4)),
    flag(C::Proc, "G4SINGULAR", B(5)),
    flag(C::Proc, "SAVE", B(6)),
    flag(C::Proc, "SE", B(7)),
    flag(C::Proc, "NOPRINT", B(8)),
    flag(C::Proc, "NOITPRINT", B(9)),
    flag(C::Proc, "CHECKDER", B(18)),
    flag(C::Proc, "DEBUG$", B(19)),
    flag(C::Proc, "DEBUGD$", B(20)),
    flag(C::Proc, "LIST", B(21)),
    flag(C::Proc, "LISTCODE", B(22)),
    flag(C::Proc, "LISTDEP", B(23)),
    flag(C::Proc, "XREF", B(24)),
    flag(C::Proc, "LISTDER", B(25)),
    flag(C::Proc, "LISTALL", B(22, 21, 23, 25)),
    flag(C::Proc, "HOUGAARD|HOUG$|SKEW$", B(26)),
    flag(C::Proc, "UNCORRECTEDDF|NODF$", B(27)),
    flag(C::Proc, "TOTALSS", B(28)),
    flag(C::Proc, "BIAS|BOXSBIAS$", B(90)),
    flag(C::Proc, "RUVAMEASURES|NONLINEARITY$", B(91)),
    flag(C::Proc, "ECOV", B(92)),
    flag(C::Proc, "ECORR", B(93)),
    flag(C::Proc, "EDER", B(94)),
    {C::Proc, "FLOW", K::Action, kNone, -1, kOpen, kOpen, nullptr, C::None, C::None, -1, 0},
    {C::Proc, "PRINT", K::Action, kNone, -1, kOpen, kOpen, nullptr, C::None, C::None, -1, 0},
    {C::Proc, "TRACE", K::Action, kNone, -1, kOpen, kOpen, nullptr, C::None, C::None, -1, 0},
    number(C::Proc, "BEST", 1, 0, 10000),
    keyword(C::Proc, "METHOD", 2, "GAUSS|MARQUARDT|GRADIENT|DUD|NEWTON"),
    number(C::Proc, "MAXITER|ITERATIONS|ITER", 3, 0, 32000),
    number(C::Proc, "CONVERGE|CONVERGENCE$", 4, 0, 1),
    number(C::Proc, "SINGULAR", 5, 0, 1),
    number(C::Proc, "ZETA$", 11),
    number(C::Proc, "TAU", 12, 0, 1),
    number(C::Proc, "RHO", 13, 0, 10000),
    number(C::Proc, "SIGSQ", 14, 0, 32000),
    number(C::Proc, "STEP|MAXSUBIT|MAXSUBITER$", 15, 0, 10000),
    keyword(C::Proc, "SMETHOD|SEARCH$|SEARCHMETHOD$", 16, "CUBIC|GOLDEN|HALVE|ARMGOLD$|QUAD$"),
    number(C::Proc, "CONVERGEOBJ", 17, 0, 1),
    number(C::Proc, "CONVERGEPARM|CONVERGEPARMS$", 18, 0, 1),
    number(C::Proc, "EPSILON", 19, 0, 1),
    number(C::Proc, "ALPHA", 20, 0, 1),
    number(C::Proc, "NTHREADS$", 26),
    number(C::Proc, "DF", 27, 0),
    {C::Proc, "PLOTS|PLOT", K::Plots, B(1), -1, kOpen, kOpen, nullptr, C::PlotsGlobal,
     C::PlotsRequest, 29, 0},

    // PLOTS( global options )
    flag(C::PlotsGlobal, "UNPACK|UNPACKPANEL", B(30)),
    keyword(C::PlotsGlobal, "RESIDUALTYPE", 21, kResidualType),
    choice(C::PlotsGlobal, "STATS", kNone, C::StatsGlobal, C::StatsGlobalList, 34),
    flag(C::StatsGlobal, "NONE", B(31)),
    flag(C::StatsGlobal, "DEFAULT", B(32)),
    flag(C::StatsGlobal, "ALL", B(33)),
    flag(C::StatsGlobalList, "NOBS", B(35)),
    flag(C::StatsGlobalList, "NPARM", B(36)),
    flag(C::StatsGlobalList, "MSE", B(37)),
    flag(C::StatsGlobalList, "VAR", B(83)),
    flag(C::StatsGlobalList, "PVAR", B(84)),
    flag(C::StatsGlobalList, "MAXINCURV", B(38)),
    flag(C::StatsGlobalList, "MAXPECURV", B(39)),
    flag(C::StatsGlobalList, "RMSINCURV", B(40)),
    flag(C::StatsGlobalList, "RMSPECURV", B(41)),
    flag(C::StatsGlobalList, "DEFAULT", B(43)),

    // PLOTS= requests
    flag(C::PlotsRequest, "ALL", B(44)),
    flag(C::PlotsRequest, "NONE", B(45)),
    group(C::PlotsRequest, "DIAGNOSTICS|DIAGNOSTICSPANEL$", 46, C::PlotsDiagnostics),
    group(C::PlotsRequest, "RESIDUALS|RESIDUALSPANEL$|RESIDUALPLOT$", 47, C::PlotsResiduals),
    group(C::PlotsRequest, "FIT|FITPLOT$", 48, C::PlotsFit),

    flag(C::PlotsDiagnostics, "UNPACK|UNPACKPANEL", B(49)),
    keyword(C::PlotsDiagnostics, "RESIDUALTYPE", 22, kResidualType),
    keyword(C::PlotsDiagnostics, "LEVERAGETYPE", 25, "TAN|TANGENTIAL$|JAC|JACOBIAN$|BOTH"),
    flag(C::PlotsDiagnostics, "LABELOBS", B(62)),
    choice(C::PlotsDiagnostics, "STATS", B(50), C::StatsDiagnostics, C::StatsDiagnosticsList, 54),
    flag(C::StatsDiagnostics, "NONE", B(51)),
    flag(C::StatsDiagnostics, "DEFAULT", B(52)),
    flag(C::StatsDiagnostics, "ALL", B(53)),
    flag(C::StatsDiagnosticsList, "NOBS", B(55)),
    flag(C::StatsDiagnosticsList, "NPARM", B(56)),
    flag(C::StatsDiagnosticsList, "MSE", B(57)),
    flag(C::StatsDiagnosticsList, "VAR", B(85)),
    flag(C::StatsDiagnosticsList, "PVAR", B(86)),
    flag(C::StatsDiagnosticsList, "MAXINCURV", B(58)),
    flag(C::StatsDiagnosticsList, "MAXPECURV", B(59)),
    flag(C::StatsDiagnosticsList, "RMSINCURV", B(60)),
    flag(C::StatsDiagnosticsList, "RMSPECURV", B(61)),
    flag(C::StatsDiagnosticsList, "DEFAULT", B(63)),

    flag(C::PlotsResiduals, "UNPACK|UNPACKPANEL", B(64)),
    keyword(C::PlotsResiduals, "RESIDUALTYPE", 23, kResidualType),
    flag(C::PlotsResiduals, "SMOOTH", B(65)),

    flag(C::PlotsFit, "NOCLM", B(66)),
    flag(C::PlotsFit, "NOCLI", B(67)),
    flag(C::PlotsFit, "NOLIMITS", B(68)),
    keyword(C::PlotsFit, "OBS|OBSERVATIONS$", 24, "GRADIENT|NONE|OUTLINE|OUTLINEGRADIENT"),
    flag(C::PlotsFit, "CONTLEG", B(81)),
    choice(C::PlotsFit, "STATS", B(69), C::StatsFit, C::StatsFitList, 73),
    flag(C::StatsFit, "NONE", B(70)),
    flag(C::StatsFit, "DEFAULT", B(71)),
    flag(C::StatsFit, "ALL", B(72)),
    flag(C::StatsFitList, "NOBS", B(74)),
    flag(C::StatsFitList, "NPARM", B(75)),
    flag(C::StatsFitList, "MSE", B(76)),
    flag(C::StatsFitList, "VAR", B(87)),
    flag(C::StatsFitList, "PVAR", B(88)),
    flag(C::StatsFitList, "MAXINCURV", B(77)),
    flag(C::StatsFitList, "MAXPECURV", B(78)),
    flag(C::StatsFitList, "RMSINCURV", B(79)),
    flag(C::StatsFitList, "RMSPECURV", B(80)),
    flag(C::StatsFitList, "DEFAULT", B(82)),

    // OUTPUT
    dataset(C::Output, "OUT", 25, 2),
    names(C::Output, "P|PRED|PREDICTED", 1),
    names(C::Output, "STDP", 2),
    names(C::Output, "L95M", 3),
    names(C::Output, "U95M", 4),
    names(C::Output, "L95", 5),
    names(C::Output, "U95", 6),
    names(C::Output, "R|RESIDUAL", 7),
    names(C::Output, "STDR", 8),
    names(C::Output, "STUDENT", 9),
    names(C::Output, "LCLM", 10),
    names(C::Output, "UCLM", 11),
    names(C::Output, "LCL", 12),
    names(C::Output, "UCL", 13),
    names(C::Output, "PARMS", 14),
    names(C::Output, "H", 15),
    names(C::Output, "SSE|ESS", 16),
    names(C::Output, "WEIGHT", 17),
    names(C::Output, "STDI", 18),
    names(C::Output, "RESEXPEC|REXPEC", 19),
    names(C::Output, "PROJRES|PRES", 20),
    names(C::Output, "PROJSTUDENT|PRSTUD", 21),
    names(C::Output, "J", 22),
    names(C::Output, "LMAX", 23),
    number(C::OutputSlash, "ALPHA", 24, 0, 1),
    flag(C::OutputSlash, "DER", B(1)),

    // BOOTSTRAP
    number(C::Bootstrap, "NSAMPLES", 1),
    number(C::Bootstrap, "SEED", 2),
    dataset(C::Bootstrap, "BOOTDATA|DATA", 3, 2),
    choice(C::Bootstrap, "DGP", B(1), C::BootDgp),
    group(C::BootDgp, "RESIDUAL|RES", 2, C::BootResidual),
    flag(C::BootDgp, "WILD", B(3)),
    flag(C::BootResidual, "ADJSSE", B(7)),
    flag(C::BootResidual, "JAC", B(8)),
    flag(C::BootResidual, "RAW", B(9)),
    flag(C::BootResidual, "TAN", B(10)),
    group(C::Bootstrap, "BOOTPLOTS|PLOTS", 4, C::BootPlots),
    flag(C::BootPlots, "HIST", B(11)),
    flag(C::BootPlots, "SCATTER", B(12)),
    flag(C::BootPlots, "ALL", B(13)),
    group(C::Bootstrap, "BOOTCI|CI", 5, C::BootCi),
    flag(C::BootCi, "BC", B(14)),
    flag(C::BootCi, "NORMAL", B(15)),
    flag(C::BootCi, "PERC", B(16)),
    flag(C::BootCi, "ALL", B(17)),
    flag(C::Bootstrap, "BOOTCOV|COV", B(6)),
    flag(C::Bootstrap, "BOOTCORR|CORR", B(18)),

    // PROFILE
    {C::Profile, "RANGE", K::Range, B(5), 4, kOpen, kOpen, nullptr, C::None, C::None, -1, 0},
    dataset(C::Profile, "PROFDATA", 2, 2),
    flag(C::Profile, "TPLOT|T|PROFILET", B(1)),
    flag(C::Profile, "CONFCURV|CCURV", B(2)),
    flag(C::Profile, "JACKKNIFE", B(3)),
    flag(C::Profile, "ALL", B(4)),

    // ESTIMATE and CONTRAST
    number(C::Estimate, "ALPHA", 5, 0, 1),
    number(C::Estimate, "DF", 6, 0),
    flag(C::Estimate, "DER|DERIVS|DERIVATIVES", B(1)),
    number(C::Contrast, "DF", 6, 0),

    // PARMS
    dataset(C::Parms, "DATA|PDATA", 2, 1),
};

std::string format_bound(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.15g", v);
  return buf;
}

}  // namespace

std::span<const OptionSpec> option_table() { return kOptions; }

bool matches_keyword(std::string_view alternatives, std::string_view word) {
  while (!alternatives.empty()) {
    std::size_t bar = alternatives.find('|');
    std::string_view kw = alternatives.substr(0, bar);
    if (!kw.empty() && kw.back() == '$') kw.remove_suffix(1);
    if (kw == word) return true;
    if (bar == std::string_view::npos) break;
    alternatives.remove_prefix(bar + 1);
  }
  return false;
}

const OptionSpec* find_option(OptionContext context, std::string_view word) {
  for (const OptionSpec& desc : kOptions)
    if (desc.context == context && matches_keyword(desc.keywords, word)) return &desc;
  return nullptr;
}

std::string option_name(const OptionSpec& desc) {
  std::string_view kw(desc.keywords);
  kw = kw.substr(0, kw.find('|'));
  if (!kw.empty() && kw.back() == '$') kw.remove_suffix(1);
  return std::string(kw);
}

// Every option the table gives a range has its lower end; some have no upper one.
std::string range_text(const OptionSpec& desc) {
  if (desc.high == kNoBound) return "at least " + format_bound(desc.low);
  return format_bound(desc.low) + " to " + format_bound(desc.high);
}

}  // namespace platform::language
