#include "platform/threads/large_stack.h"

#include <pthread.h>

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

}  // namespace

void run_with_stack(std::size_t bytes, const std::function<void()>& work) {
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
