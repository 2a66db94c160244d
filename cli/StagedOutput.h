// Outputs are never left half-written. Each is written under a temporary name
// in its own directory and moved to its final name only once complete; a run
// that fails, throws or is interrupted removes its temporary file.
#pragma once

#include <csignal>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

namespace zorvel::cli {

// The temporary files in flight, shared by the threads of one command.
class StagingArea {
  public:
    // Creates an empty file beside `finalName` under a fresh hidden name
    // (permissions as for any new file) and returns its path. Throws
    // FileError naming the directory and the reason when it cannot.
    std::filesystem::path create(const std::filesystem::path& finalName);

    // Moves `temporary` to `finalName`. Without `replace` an existing file of
    // that name is never overwritten, even one that appeared meanwhile.
    // Throws FileError (and removes `temporary`) when the move fails.
    void commit(const std::filesystem::path& temporary, const std::filesystem::path& finalName,
                bool replace);

    void discard(const std::filesystem::path& temporary) noexcept;

    // Removes every temporary file in flight and refuses new ones: the
    // process is about to end on an interrupt.
    void discardAll() noexcept;

  private:
    void forget(const std::filesystem::path& temporary);

    std::mutex mutex_;
    std::set<std::filesystem::path> inFlight_;
    unsigned long serial_ = 0;
    bool closed_ = false;
};

// One output on its way: created on construction, removed on destruction
// unless committed.
class StagedFile {
  public:
    StagedFile(StagingArea& area, std::filesystem::path finalName);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    const std::filesystem::path& temporary() const { return temporary_; }
    const std::filesystem::path& finalName() const { return finalName_; }
    void commit(bool replace);

  private:
    StagingArea& area_;
    std::filesystem::path finalName_;
    std::filesystem::path temporary_;
    bool committed_ = false;
};

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
