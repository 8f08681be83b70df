#include "app/run_signals.h"

#include "platform/datasets/temporary_files.h"

namespace app {
namespace {

// SA_RESETHAND has restored the default action: the signal raised again is
// delivered when the handler returns and ends the process.
void stop_run(int signal) {
  platform::ds::remove_temporaries();
  ::raise(signal);
}

}  // namespace

RunSignals::RunSignals() {
  for (std::size_t i = 0; i < kSignals.size(); ++i) {
    sigaction(kSignals[i], nullptr, &before_[i]);
    // A signal ignored from the start (nohup, a background job) stays so.
    if (before_[i].sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    if (kSignals[i] == SIGXFSZ) {
      action.sa_handler = SIG_IGN;
    } else {
      action.sa_handler = stop_run;
      action.sa_flags = SA_RESETHAND;
    }
    sigaction(kSignals[i], &action, nullptr);
  }
}

RunSignals::~RunSignals() {
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &before_[i], nullptr);
}

}  // namespace app
