#include "platform/threads/large_stack.h"

#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>

#include <algorithm>
#include <exception>

namespace platform {
namespace {

struct Job {
  const std::function<void()>* work;
  std::exception_ptr thrown;
};

void* run_job(void* arg) {
  Job* job = static_cast<Job*>(arg);
  try {
    (*job->work)();
  } catch (...) {
    job->thrown = std::current_exception();
  }
  return nullptr;
}

// Under a limit of address space every reservation counts in full, touched
// or not, so that one that took a fixed share would leave the work less
// room under a larger limit than under a smaller one, where it could not
// be made. A stack larger than the parsers' takes a 32nd of the limit (at
// least the 8 MB a thread has by default); and every thread allocates
// from the process's one arena, where an arena of its own would reserve
// 64 MB (128 MB while it is made) whenever the limit leaves room for it.
std::size_t fit_to_address_space_limit(std::size_t bytes) {
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return bytes;
  mallopt(M_ARENA_MAX, 1);
  constexpr std::size_t kLeastStackBytes = std::size_t{8} << 20;
  if (bytes <= kParseStackBytes) return bytes;
  return std::min(bytes, std::max<std::size_t>(kLeastStackBytes, limit.rlim_cur / 32));
}

}  // namespace

void run_with_stack(std::size_t bytes, const std::function<void()>& work) {
  bytes = fit_to_address_space_limit(bytes);
  Job job{&work, nullptr};
  pthread_attr_t attr;
  pthread_t thread;
  bool started = pthread_attr_init(&attr) == 0;
  if (started) {
    started = pthread_attr_setstacksize(&attr, bytes) == 0 &&
              pthread_create(&thread, &attr, &run_job, &job) == 0;
    pthread_attr_destroy(&attr);
  }
  if (!started) return work();
  pthread_join(thread, nullptr);
  if (job.thrown) std::rethrow_exception(job.thrown);
}

}  // namespace platform
