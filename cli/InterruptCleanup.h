// An interrupt (SIGINT, SIGTERM or SIGHUP) ends a run without leaving a
// staged output behind: a watcher thread takes the signals, removes the named
// temporary files in flight, says so on standard error, and ends the process
// by the same signal, so that the caller sees how the run ended.
#pragma once

#include <csignal>
#include <thread>

#include "files/Descriptor.h"
#include "files/StagedOutput.h"

namespace zorvel::cli {

// While alive, SIGINT, SIGTERM and SIGHUP are taken by a watcher thread,
// which removes the staged files and then ends the process by the same
// signal. Build it before any other thread is started: threads inherit the
// blocked signals from the thread that starts them. The watcher sleeps until
// a signal comes or the destructor wakes it, so neither waits for the other.
class InterruptCleanup {
  public:
    // Throws std::system_error when the system gives no descriptor to watch with.
    explicit InterruptCleanup(StagingArea& area);
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

  private:
    static void watch(StagingArea& area, int signals, int stop);

    sigset_t signals_{};
    sigset_t previousMask_{};
    Descriptor signalDescriptor_;  // signalfd: the watched signals as they come
    Descriptor stopDescriptor_;    // eventfd: written once by the destructor
    std::thread watcher_;
};

}  // namespace zorvel::cli
