// Vector 0: the thread waits behind the worker pool. A gate is posted once
// by another thread; the waiter spins briefly (a sweep step finishes in
// microseconds) and then blocks until the post.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/services/service_impls.h"
#include "platform/threads/spin_wait.h"

namespace platform::svc {
namespace {

std::mutex g_gate_mutex;
std::condition_variable g_gate_posted;
std::atomic<int> g_blocked_waiters{0};

bool is_posted(GATE* gate) {
  return std::atomic_ref<int>(gate->post).load(std::memory_order_seq_cst) != 0;
}

int posted_count(int count, GATE** gates) {
  int posted = 0;
  for (int i = 0; i < count; ++i) posted += gates[i] && is_posted(gates[i]);
  return posted;
}

// Posts the gate. Nothing of the gate is touched after the store: the
// waiter may return and release it at once. The lock is taken only when a
// waiter has blocked (the store and that count are sequentially consistent
// with the waiter's own count and check).
void post_gate(void* context) {
  std::atomic_ref<int>(static_cast<GATE*>(context)->post).store(1, std::memory_order_seq_cst);
  if (g_blocked_waiters.load(std::memory_order_seq_cst) == 0) return;
  std::lock_guard lock(g_gate_mutex);
  g_gate_posted.notify_all();
}

}  // namespace

int wtforev(QXForeignEvent* foreign, GATE* gate) {
  if (!foreign || !gate) return 1;
  foreign->context = gate;
  foreign->extPost = &post_gate;
  return 0;
}

int wtgwait(int /*flags*/, int count, int needed, GATE** gates) {
  if (count < 1 || !gates) return 1;
  if (needed < 1 || needed > count) needed = count;
  if (spin_until([&] { return posted_count(count, gates) >= needed; })) return 0;
  std::unique_lock lock(g_gate_mutex);
  g_blocked_waiters.fetch_add(1, std::memory_order_seq_cst);
  g_gate_posted.wait(lock, [&] { return posted_count(count, gates) >= needed; });
  g_blocked_waiters.fetch_sub(1, std::memory_order_relaxed);
  return 0;
}

// This host raises no asynchronous events, so there is nothing to poll.
int wtpoll() { return 0; }

}  // namespace platform::svc
