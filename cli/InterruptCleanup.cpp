#include "cli/InterruptCleanup.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <system_error>

namespace zorvel::cli {
namespace {

[[noreturn]] void throwSystemError(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// The next watched signal, or 0 once `stop` is written.
int nextSignal(int signals, int stop) {
    std::array<pollfd, 2> waited{{{signals, POLLIN, 0}, {stop, POLLIN, 0}}};
    for (;;) {
        if (poll(waited.data(), waited.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return 0;  // nothing left to watch with
        }
        if (waited[1].revents != 0) return 0;
        signalfd_siginfo info{};
        if (read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
            return static_cast<int>(info.ssi_signo);
    }
}

}  // namespace

InterruptCleanup::InterruptCleanup(StagingArea& area) {
    sigemptyset(&signals_);
    sigaddset(&signals_, SIGINT);
    sigaddset(&signals_, SIGTERM);
    sigaddset(&signals_, SIGHUP);
    stopDescriptor_ = Descriptor(eventfd(0, EFD_CLOEXEC));
    if (!stopDescriptor_) throwSystemError("eventfd");
    signalDescriptor_ = Descriptor(signalfd(-1, &signals_, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!signalDescriptor_) throwSystemError("signalfd");
    pthread_sigmask(SIG_BLOCK, &signals_, &previousMask_);
    try {
        watcher_ =
            std::thread(watch, std::ref(area), signalDescriptor_.get(), stopDescriptor_.get());
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
        throw;
    }
}

InterruptCleanup::~InterruptCleanup() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = write(stopDescriptor_.get(), &one, sizeof one);
    watcher_.join();
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

void InterruptCleanup::watch(StagingArea& area, int signals, int stop) {
    const int signal = nextSignal(signals, stop);
    if (signal == 0) return;
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

}  // namespace zorvel::cli
