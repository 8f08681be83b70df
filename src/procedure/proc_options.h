// The option slots and flags of the procedure statement (the first parsed
// statement), as the statement grammar stores them, and the reading of the
// options into the context.
#pragma once

struct RUVACOM;

namespace proc_opt {
// Value slots.
inline constexpr int kBest = 1;
inline constexpr int kMethod = 2;
inline constexpr int kMaxiter = 3;
inline constexpr int kConverge = 4;
inline constexpr int kSingular = 5;
inline constexpr int kOutest = 10;
inline constexpr int kTau = 12;
inline constexpr int kRho = 13;
inline constexpr int kSigsq = 14;
inline constexpr int kMaxsubit = 15;
inline constexpr int kSmethod = 16;
inline constexpr int kConvergeObj = 17;
inline constexpr int kConvergeParm = 18;
inline constexpr int kEpsilon = 19;
inline constexpr int kAlpha = 20;
inline constexpr int kNthreads = 26;
inline constexpr int kDf = 27;
// Flags.
inline constexpr int kPlots = 1;
inline constexpr int kNohalve = 3;
inline constexpr int kG4 = 4;
inline constexpr int kG4Singular = 5;
inline constexpr int kSave = 6;
inline constexpr int kSe = 7;
inline constexpr int kNoprint = 8;
inline constexpr int kNoitprint = 9;
inline constexpr int kCheckder = 18;
inline constexpr int kDebug = 19;
inline constexpr int kDebugd = 20;
inline constexpr int kList = 21;
inline constexpr int kListcode = 22;
inline constexpr int kListdep = 23;
inline constexpr int kXref = 24;
inline constexpr int kListder = 25;
inline constexpr int kHougaard = 26;
inline constexpr int kNodf = 27;
inline constexpr int kTotalss = 28;
inline constexpr int kBias = 90;
inline constexpr int kMeasures = 91;
inline constexpr int kEcov = 92;
inline constexpr int kEcorr = 93;
inline constexpr int kEder = 94;
}  // namespace proc_opt

// Reads the procedure statement's options into the context with their
// defaults, and builds the graph requests. Returns 0; an ALPHA= outside
// (0, 1) ends the step with 3000.
int get_options(RUVACOM* ctx);
