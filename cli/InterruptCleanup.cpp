#include "cli/InterruptCleanup.h"

#include <pthread.h>
#include <unistd.h>

#include <chrono>
#include <functional>

namespace zorvel::cli {
namespace {

// How often the watcher looks whether it is asked to stop.
constexpr std::chrono::milliseconds kWatchInterval{100};

}  // namespace

InterruptCleanup::InterruptCleanup(StagingArea& area) {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    sigaddset(&signals_, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals_, &previousMask_);
    watcher_ = std::jthread(watch, std::ref(area), signals_);
}

InterruptCleanup::~InterruptCleanup() {
    watcher_.request_stop();
    watcher_.join();
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void InterruptCleanup::watch(std::stop_token stop, StagingArea& area, sigset_t watched) {
    const timespec interval{0, std::chrono::nanoseconds(kWatchInterval).count()};
    while (!stop.stop_requested()) {
        const int signal = sigtimedwait(&watched, nullptr, &interval);
        if (signal <= 0) continue;
        area.discardAll();
        constexpr char kMessage[] = "\nzorvel-cli: interrupted; unfinished outputs removed\n";
        [[maybe_unused]] const auto written = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
        // End by the signal itself, so that the caller sees how the run ended.
        std::signal(signal, SIG_DFL);
        sigset_t only;
        sigemptyset(&only);
        sigaddset(&only, signal);
        pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
        raise(signal);
        _exit(128 + signal);
    }
}

}  // namespace zorvel::cli
