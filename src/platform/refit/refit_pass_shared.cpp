#include "platform/refit/refit_pass_shared.h"

#include <algorithm>

namespace platform::refit {

SharedPass::SharedPass(const double* x, const Observations& obs, Order order, std::int64_t chunk, Terms* terms)
    : x_(x), obs_(obs), order_(order), chunk_(chunk), n_chunks_((obs.n + chunk - 1) / chunk), terms_(terms) {}

void SharedPass::help(Frame& frame) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return;
    ++inside_;
  }
  std::exception_ptr failed;
  try {
    for (std::int64_t c; (c = next_.fetch_add(1, std::memory_order_relaxed)) < n_chunks_;)
      frame.evaluate_chunk(x_, obs_, order_, c * chunk_, std::min(obs_.n, (c + 1) * chunk_), terms_);
  } catch (...) {
    next_.store(n_chunks_, std::memory_order_relaxed);
    failed = std::current_exception();
  }
  {
    std::lock_guard lock(mutex_);
    if (failed && !failure_) failure_ = failed;
    if (--inside_ == 0) left_.notify_all();
  }
  if (failed) std::rethrow_exception(failed);
}

void SharedPass::close() {
  std::unique_lock lock(mutex_);
  closed_ = true;
  left_.wait(lock, [this] { return inside_ == 0; });
}

void SharedPass::rethrow_failure() const {
  if (failure_) std::rethrow_exception(failure_);
}

bool sum_terms(const Terms& terms, std::int64_t n, std::size_t np, Order order, Sums* out) {
  out->start(np, order);
  for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) {
    switch (terms.outcome[k]) {
      case Term::kUnused: continue;
      case Term::kEnded: return true;
      case Term::kSecond: return false;
      case Term::kUsed: break;
    }
    const double f = terms.f[k];
    out->f += f;
    ++out->used;
    if (order == Order::kValue) continue;
    const double* g = terms.g.data() + k * np;
    for (std::size_t j = 0; j < np; ++j) out->g[j] += g[j];
    add_gauss_newton(g, np, f, out->h.data());
  }
  out->ok = true;
  return true;
}

}  // namespace platform::refit
