// Long work of the main window (an encoding run, a conversion) goes on a
// thread of its own while the window's event loop goes on without user input:
// the windows are painted and timers run however long the work takes (a FIFO
// whose reader is slow, an hour-long recording), and the input given meanwhile
// waits, as before, for the window to drop it.
#pragma once

#include <pthread.h>

#include <QEventLoop>
#include <QMetaObject>
#include <csignal>
#include <exception>
#include <optional>
#include <thread>
#include <utility>

namespace zorvel {

// Returns what `work` returns; an exception of the work is thrown here. Should
// the program be told to quit meanwhile, the loop ends early and this waits
// for the work. The loop leaves user input waiting unless `events` says
// otherwise (a window that offers a way to stop the work).
template <typename Work>
auto runOffTheWindowThread(
    Work&& work, QEventLoop::ProcessEventsFlags events = QEventLoop::ExcludeUserInputEvents)
    -> decltype(work()) {
    QEventLoop loop;
    std::optional<decltype(work())> result;
    std::exception_ptr failure;
    std::thread worker([&] {
        // A FIFO whose reader leaves fails the write (EPIPE) instead of ending
        // the program; the signal, blocked here, dies with this thread.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        try {
            result.emplace(work());
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(events);
    worker.join();
    if (failure) std::rethrow_exception(failure);
    return std::move(*result);
}

}  // namespace zorvel
