// An interrupt (SIGINT, SIGTERM or SIGHUP) ends a run without leaving a
// staged output behind: a watcher thread takes the signals, removes the named
// temporary files in flight, says so on standard error, and ends the process
// by the same signal, so that the caller sees how the run ended.
#pragma once

#include <csignal>
#include <thread>

#include "cli/StagedOutput.h"

namespace zorvel::cli {

// While alive, SIGINT, SIGTERM and SIGHUP are taken by a watcher thread,
// which removes the staged files and then ends the process by the same
// signal. Build it before any other thread is started: threads inherit the
// blocked signals from the thread that starts them.
class InterruptCleanup {
  public:
    explicit InterruptCleanup(StagingArea& area);
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

  private:
    static void watch(std::stop_token stop, StagingArea& area, sigset_t watched);

    sigset_t signals_{};
    sigset_t previousMask_{};
    std::jthread watcher_;
};

}  // namespace zorvel::cli
