// Numerical constants shared by the probability functions.
#pragma once

inline constexpr double kSmallestNormal = 2.225073858507202e-308;
inline constexpr double kHalfEpsilon = 1.110223024625157e-16;      // 2^-53
inline constexpr double kLargestDouble = 1.7976931348623157e308;
inline constexpr double kLnSqrtTwoPi = 0.9189385332046728;         // ln sqrt(2 pi)
inline constexpr double kInvSqrtTwo = 0.7071067811865476;          // 1/sqrt(2)
inline constexpr double kInvSqrtPi = 0.5641895835477563;           // 1/sqrt(pi)
inline constexpr double kExpUnderflow = -708.3964185;              // ln of the smallest normal
inline constexpr double kSqrtLargest = 1.3407807929943e154;        // about sqrt(DBL_MAX)
inline constexpr double kLn2 = 0.6931471805599453;
