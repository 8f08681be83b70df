// A pass of the refit objective shared out among threads that would
// otherwise be idle (the reference refit runs alone; a batch's last tasks
// run on fewer threads than the pool has): the observations are cut into
// chunks that any joining thread claims and evaluates with its own frame,
// keeping each observation's term and gradient; the pass's owner then sums
// them in observation order, so that the sums are the very ones a pass on
// one thread gives. Only a program whose observations carry nothing from
// one to the next can be cut so.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/refit/refit_pass_frame.h"

namespace platform::refit {

// Each observation's outcome in a shared pass.
enum class Term : std::uint8_t {
  kUnused,  // left out, or its objective was not computed
  kUsed,    // its term (and gradient) are kept
  kEnded,   // its run ended the pass
  kSecond,  // its term is not positive: the pass needs the second derivatives
};

// Per observation: outcome, objective term and gradient (np values).
struct Terms {
  std::vector<Term> outcome;
  std::vector<double> f, g;
};

class SharedPass {
 public:
  SharedPass(const double* x, const Observations& obs, Order order, std::int64_t chunk, Terms* terms);
  // Claims and evaluates chunks until none remain; a thread that comes
  // after the owner closed the pass does nothing. A chunk that throws
  // (out of memory) leaves its terms unfinished: no chunk is claimed after
  // it, and the exception goes on up the helper's thread.
  void help(Frame& frame);
  // The owner's end, on every way out of the pass: no thread joins any
  // more; waits until those inside have left.
  void close();
  // After close: rethrows, on the owner's thread, what a helper's chunk
  // threw, since the terms are then incomplete.
  void rethrow_failure() const;

 private:
  const double* x_;
  const Observations& obs_;
  Order order_;
  std::int64_t chunk_;
  std::int64_t n_chunks_;
  Terms* terms_;
  std::atomic<std::int64_t> next_{0};
  std::mutex mutex_;
  std::condition_variable left_;
  int inside_ = 0;
  bool closed_ = false;
  std::exception_ptr failure_;  // the first chunk's exception
};

// The threads a pass can be shared with (the refit engine's idle workers).
class PassHelpers {
 public:
  virtual ~PassHelpers() = default;
  // Threads that are idle now: the pass asks up to that many to help.
  virtual int idle() const = 0;
  // Has `count` idle threads call `pass->help` with their own frames.
  virtual void call(const std::shared_ptr<SharedPass>& pass, int count) = 0;
};

// Sums kept terms in observation order as a pass on one thread adds them;
// false when a term needs the second derivatives (the pass is then made
// again on one thread).
bool sum_terms(const Terms& terms, std::int64_t n, std::size_t np, Order order, Sums* out);

}  // namespace platform::refit
