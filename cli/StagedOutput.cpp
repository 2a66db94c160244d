#include "cli/StagedOutput.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "cli/FileChecks.h"

namespace zorvel::cli {
namespace {

std::string errnoText(int error) { return std::generic_category().message(error); }

std::filesystem::path directoryOf(const std::filesystem::path& file) {
    const std::filesystem::path parent = file.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

// Rename that fails with EEXIST instead of replacing an existing file.
int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    // A file system without the no-replace rename: a hard link never replaces.
    if (link(from.c_str(), to.c_str()) != 0) return -1;
    unlink(from.c_str());
    return 0;
}

constexpr std::chrono::milliseconds kWatchInterval{100};

}  // namespace

std::filesystem::path StagingArea::create(const std::filesystem::path& finalName) {
    const std::filesystem::path directory = directoryOf(finalName);
    std::lock_guard lock(mutex_);
    if (closed_) throw FileError("interrupted");
    const std::string stem = finalName.filename().string() + ".part-" + std::to_string(getpid());
    for (;;) {
        std::string name(1, '.');
        name.append(stem).append("-").append(std::to_string(serial_++));
        const std::filesystem::path candidate = directory / name;
        const int fd = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            close(fd);
            inFlight_.insert(candidate);
            return candidate;
        }
        if (errno != EEXIST)
            throw FileError("cannot create the output in '" + directory.string() +
                            "': " + errnoText(errno));
    }
}

void StagingArea::commit(const std::filesystem::path& temporary,
                         const std::filesystem::path& finalName, bool replace) {
    const int result = replace ? std::rename(temporary.c_str(), finalName.c_str())
                               : renameNoReplace(temporary, finalName);
    if (result != 0) {
        const int error = errno;
        discard(temporary);
        if (error == EEXIST)
            throw FileError("output '" + finalName.string() + "' exists; use -y to overwrite it");
        throw FileError("cannot write '" + finalName.string() + "': " + errnoText(error));
    }
    forget(temporary);
}

void StagingArea::discard(const std::filesystem::path& temporary) noexcept {
    std::lock_guard lock(mutex_);
    unlink(temporary.c_str());
    inFlight_.erase(temporary);
}

void StagingArea::discardAll() noexcept {
    std::lock_guard lock(mutex_);
    for (const std::filesystem::path& temporary : inFlight_) unlink(temporary.c_str());
    inFlight_.clear();
    closed_ = true;
}

void StagingArea::forget(const std::filesystem::path& temporary) {
    std::lock_guard lock(mutex_);
    inFlight_.erase(temporary);
}

StagedFile::StagedFile(StagingArea& area, std::filesystem::path finalName)
    : area_(area), finalName_(std::move(finalName)), temporary_(area.create(finalName_)) {}

StagedFile::~StagedFile() {
    if (!committed_) area_.discard(temporary_);
}

void StagedFile::commit(bool replace) {
    committed_ = true;  // a failed commit has removed the temporary file already
    area_.commit(temporary_, finalName_, replace);
}

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
