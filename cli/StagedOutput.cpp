// Every name is used relative to an open descriptor of the output's
// directory, so a temporary name only has to fit in that directory as the
// final name does; and a temporary name is never longer than the final name
// (or than its own unique prefix, when the final name is shorter).
#include "cli/StagedOutput.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <system_error>

#include "cli/FileChecks.h"

namespace zorvel::cli {
namespace {

std::string errnoText(int error) { return std::generic_category().message(error); }

std::string quoted(const std::filesystem::path& path) {
    std::string text(1, '\'');  // appended: GCC 12 warns wrongly about "'" + ... here
    return text.append(path.string()).append(1, '\'');
}

std::filesystem::path directoryOf(const std::filesystem::path& file) {
    const std::filesystem::path parent = file.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

std::string procName(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// The process id in a temporary name of this program, or 0: ".zv-PID-N-..."
// (this version's) or ".NAME.part-PID-N" (earlier versions').
pid_t temporaryOwner(std::string_view name) {
    std::string_view digits;
    if (name.starts_with(".zv-")) {
        digits = name.substr(4);
    } else if (const auto part = name.rfind(".part-");
               name.starts_with('.') && part != std::string_view::npos) {
        digits = name.substr(part + 6);
    } else {
        return 0;
    }
    long pid = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), pid);
    if (error != std::errc{} || end == digits.data() || end == digits.data() + digits.size() ||
        *end != '-' || pid <= 0)
        return 0;
    return static_cast<pid_t>(pid);
}

bool processGone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

// Links the anonymous file `fd` under `name` in `directory`; fails with
// EEXIST rather than replace anything.
int linkAnonymous(int fd, int directory, const std::string& name) {
    if (linkat(AT_FDCWD, procName(fd).c_str(), directory, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT) return -1;
    // Without /proc: the descriptor itself (needs CAP_DAC_READ_SEARCH).
    return linkat(fd, "", directory, name.c_str(), AT_EMPTY_PATH);
}

// Rename that fails with EEXIST instead of replacing an existing file.
int renameNoReplace(int directory, const std::string& from, const std::string& to) {
    if (renameat2(directory, from.c_str(), directory, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    // A file system without the no-replace rename: a hard link never replaces.
    if (linkat(directory, from.c_str(), directory, to.c_str(), 0) != 0) return -1;
    unlinkat(directory, from.c_str(), 0);
    return 0;
}

void copyTo(int from, int to, const std::filesystem::path& name) {
    std::array<char, 1 << 16> buffer{};
    off_t offset = 0;
    for (;;) {
        const ssize_t got = pread(from, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw FileError("cannot write " + quoted(name) + ": " + errnoText(errno));
        if (got == 0) return;
        writeAll(to, buffer.data(), static_cast<std::size_t>(got), name);
        offset += got;
    }
}

constexpr std::chrono::milliseconds kWatchInterval{100};

}  // namespace

OutputPlace outputPlace(const std::filesystem::path& name) {
    if (name == "-") return OutputPlace::StandardOutput;
    struct stat status {};
    if (stat(name.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode))
        return OutputPlace::InPlace;
    return OutputPlace::NewFile;
}

int openInPlace(const std::filesystem::path& name) {
    const int fd = open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw FileError("cannot write " + quoted(name) + ": " + errnoText(errno));
    struct stat status {};
    if (fstat(fd, &status) != 0 || S_ISREG(status.st_mode)) {
        close(fd);
        throw FileError("output " + quoted(name) + " changed into a regular file meanwhile");
    }
    return fd;
}

void writeAll(int fd, const char* data, std::size_t size, const std::filesystem::path& name) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            throw FileError("cannot write " + quoted(name) + ": " + errnoText(error));
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

std::string StagingArea::temporaryName(const std::string& finalLeaf) {
    std::string prefix(".zv-");
    prefix.append(std::to_string(getpid())).append("-").append(std::to_string(serial_++));
    prefix.append("-");
    std::string name = prefix + finalLeaf;
    name.resize(std::max(finalLeaf.size(), prefix.size()));
    return name;
}

void StagingArea::removeLeftovers(int directory, const std::filesystem::path& path) {
    if (!cleaned_.insert(std::filesystem::absolute(path)).second) return;
    const int listing = openat(directory, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    DIR* entries = fdopendir(listing);
    if (entries == nullptr) {
        close(listing);
        return;
    }
    while (const dirent* entry = readdir(entries)) {
        const pid_t owner = temporaryOwner(entry->d_name);
        if (owner == 0 || owner == getpid() || !processGone(owner)) continue;
        // A staged file is locked while its process lives, also one of a
        // process on another machine sharing this directory.
        const int fd = openat(directory, entry->d_name,
                              O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat status {};
        if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlinkat(directory, entry->d_name, 0);
        close(fd);
    }
    closedir(entries);
}

StagingArea::Entry StagingArea::create(const std::filesystem::path& finalName, OutputPlace place) {
    std::lock_guard lock(mutex_);
    if (closed_) throw FileError("interrupted");
    Entry entry;
    if (place != OutputPlace::NewFile) {
        entry.fd = memfd_create("zorvel-output", MFD_CLOEXEC);
        if (entry.fd < 0) throw FileError("cannot stage the output: " + errnoText(errno));
        return entry;
    }
    const std::filesystem::path directory = directoryOf(finalName);
    const std::string leaf = finalName.filename().string();
    if (leaf.empty() || leaf == "." || leaf == "..")
        throw FileError("output " + quoted(finalName) + " names no file");
    entry.directory = open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (entry.directory < 0)
        throw FileError("cannot create the output in " + quoted(directory) + ": " +
                        errnoText(errno));
    removeLeftovers(entry.directory, directory);
    entry.fd = openat(entry.directory, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (entry.fd >= 0) return entry;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        const int error = errno;
        close(entry.directory);
        throw FileError("cannot create the output in " + quoted(directory) + ": " +
                        errnoText(error));
    }
    // No anonymous files here: a hidden name, locked while this process lives.
    for (;;) {
        entry.temporaryName = temporaryName(leaf);
        entry.fd = openat(entry.directory, entry.temporaryName.c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (entry.fd >= 0) break;
        if (errno != EEXIST) {
            const int error = errno;
            close(entry.directory);
            throw FileError("cannot create the output in " + quoted(directory) + ": " +
                            errnoText(error));
        }
    }
    flock(entry.fd, LOCK_EX);
    named_.emplace(entry.directory, entry.temporaryName);
    return entry;
}

void StagingArea::commit(Entry& entry, const std::filesystem::path& finalName, OutputPlace place,
                         bool replace) {
    if (place != OutputPlace::NewFile) {
        // No name is made here, so an interrupt has nothing to wait for: the
        // copy runs outside the lock (a FIFO may wait for its reader).
        try {
            if (place == OutputPlace::StandardOutput) {
                copyTo(entry.fd, STDOUT_FILENO, "standard output");
            } else {
                const int target = openInPlace(finalName);
                try {
                    copyTo(entry.fd, target, finalName);
                } catch (...) {
                    close(target);
                    throw;
                }
                if (close(target) != 0)
                    throw FileError("cannot write " + quoted(finalName) + ": " + errnoText(errno));
            }
        } catch (...) {
            discard(entry);
            throw;
        }
        discard(entry);
        return;
    }

    std::unique_lock lock(mutex_);
    const std::string leaf = finalName.filename().string();
    int result = -1;
    int error = EINTR;
    if (!closed_) {
        if (entry.temporaryName.empty() && !replace) {
            result = linkAnonymous(entry.fd, entry.directory, leaf);
        } else if (entry.temporaryName.empty()) {
            // Replacing needs a rename: a name for a moment, then the final one.
            const std::string name = temporaryName(leaf);
            result = linkAnonymous(entry.fd, entry.directory, name);
            if (result == 0) {
                result = renameat(entry.directory, name.c_str(), entry.directory, leaf.c_str());
                error = errno;
                if (result != 0) unlinkat(entry.directory, name.c_str(), 0);
                errno = error;
            }
        } else if (replace) {
            result = renameat(entry.directory, entry.temporaryName.c_str(), entry.directory,
                              leaf.c_str());
        } else {
            result = renameNoReplace(entry.directory, entry.temporaryName, leaf);
        }
        if (result != 0) error = errno;
    }
    if (result == 0) {
        named_.erase({entry.directory, entry.temporaryName});
        entry.temporaryName.clear();
    }
    lock.unlock();
    discard(entry);
    if (result == 0) return;
    if (error == EEXIST)
        throw FileError("output " + quoted(finalName) + " exists; use -y to overwrite it");
    if (error == EINTR) throw FileError("interrupted");
    throw FileError("cannot write " + quoted(finalName) + ": " + errnoText(error));
}

void StagingArea::discard(Entry& entry) noexcept {
    std::lock_guard lock(mutex_);
    if (!entry.temporaryName.empty()) {
        unlinkat(entry.directory, entry.temporaryName.c_str(), 0);
        named_.erase({entry.directory, entry.temporaryName});
        entry.temporaryName.clear();
    }
    if (entry.fd >= 0) close(entry.fd);
    if (entry.directory >= 0) close(entry.directory);
    entry.fd = entry.directory = -1;
}

void StagingArea::discardAll() noexcept {
    std::lock_guard lock(mutex_);
    for (const auto& [directory, name] : named_) unlinkat(directory, name.c_str(), 0);
    named_.clear();
    closed_ = true;
}

namespace {

// Where a link leads, when the name is a link that leads to a file.
std::filesystem::path linkTarget(const std::filesystem::path& name) {
    struct stat status {};
    if (lstat(name.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return name;
    std::error_code error;
    const std::filesystem::path target = std::filesystem::canonical(name, error);
    return error ? name : target;
}

}  // namespace

StagedFile::StagedFile(StagingArea& area, std::filesystem::path finalName)
    : area_(area),
      finalName_(std::move(finalName)),
      target_(linkTarget(finalName_)),
      place_(outputPlace(finalName_)),
      entry_(area.create(target_, place_)) {}

StagedFile::~StagedFile() {
    if (!committed_) area_.discard(entry_);
}

std::filesystem::path StagedFile::temporary() const { return procName(entry_.fd); }

void StagedFile::commit(bool replace) {
    committed_ = true;  // a commit, failed or not, has let go of the staged file
    area_.commit(entry_, place_ == OutputPlace::NewFile ? target_ : finalName_, place_, replace);
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
