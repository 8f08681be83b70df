// Masks the floating-point traps while a program runs, so that a division by
// zero or an overflow in the program yields a value the interpreter turns
// into a missing value and an error count, never a trap. The caller's mode
// is restored afterwards; when every trap is already masked (the usual
// case) the guard costs one read of the control register.
#pragma once

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#else
#include <cfenv>
#endif

namespace platform::compiler {

#if defined(__x86_64__) || defined(__i386__)
class FloatingPointGuard {
 public:
  FloatingPointGuard() : saved_(_mm_getcsr()) {
    if ((saved_ & kAllMasks) != kAllMasks) _mm_setcsr(saved_ | kAllMasks);
  }
  ~FloatingPointGuard() {
    if ((saved_ & kAllMasks) != kAllMasks) _mm_setcsr(saved_);
  }
  FloatingPointGuard(const FloatingPointGuard&) = delete;
  FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

 private:
  static constexpr unsigned kAllMasks = 0x1F80;  // the six exception mask bits of MXCSR
  unsigned saved_;
};
#else
class FloatingPointGuard {
 public:
  FloatingPointGuard() { std::feholdexcept(&saved_); }
  ~FloatingPointGuard() { std::fesetenv(&saved_); }
  FloatingPointGuard(const FloatingPointGuard&) = delete;
  FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

 private:
  std::fenv_t saved_;
};
#endif

}  // namespace platform::compiler
