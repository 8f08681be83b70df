// The numerical limits of the linear-algebra kernels, bit-exact. Several sit
// one or two units above the obvious value (2^-53, the smallest normal
// double, 2^-26.5); the hexadecimal literals keep every bit as intended, and
// tests pin the patterns.
#pragma once

namespace linalg {

// 2^-53 plus two units (bits 0x3CA0000000000002): the relative rounding
// limit, written 1.110223024625157e-16.
inline constexpr double kRoundoff = 0x1.0000000000002p-53;
// The smallest normal double plus one unit (bits 0x0010000000000001),
// written 2.225073858507202e-308: the "practically zero" limit.
inline constexpr double kTinyNormal = 0x1.0000000000001p-1022;
// About the square root of the smallest normal double (bits
// 0x20000000002302AC), written 1.491668147e-154.
inline constexpr double kSqrtTiny = 0x1.00000002302acp-511;
// About the square root of the largest double (bits 0x5FF0000000000087),
// written 1.3407807929943e154: the clamp that replaces an overflow.
inline constexpr double kSqrtHuge = 0x1.0000000000087p+512;
// The largest double (bits 0x7FEFFFFFFFFFFFFF).
inline constexpr double kHuge = 0x1.fffffffffffffp+1023;
// The natural logarithm of the largest double (bits 0x40862E42FEFA39EF),
// written 709.782712893384: exp() of anything larger overflows.
inline constexpr double kLogHuge = 0x1.62e42fefa39efp+9;
// The largest element a trace-scaled matrix may hold before the sweep
// inverse refuses it (bits 0x554428A2F98D7240), written 5.643803094122288e102.
inline constexpr double kSweepRangeLimit = 0x1.428a2f98d724p+341;
// The margin by which a later pivot must beat an earlier one in the sweep's
// selection, so near-ties go to the lower index: 2^-26.5 plus one unit
// (bits 0x3E46A09E667F3BCE), written 1.053671212772351e-08.
inline constexpr double kPivotTieMargin = 0x1.6a09e667f3bcep-27;
// The sweep inverse's default singularity tolerance (1e-10).
inline constexpr double kDefaultSingular = 1e-10;
// Matrices of more rows than this are swept on several threads.
inline constexpr int kThreadedSweepCutoff = 250;
// Unless forced, a threaded sweep uses no more blocks than give each block
// about this many element updates per step: below it, handing the pivot's
// row and column between processors costs more than the block saves.
inline constexpr long kSweepBlockUpdates = 12000;

}  // namespace linalg
