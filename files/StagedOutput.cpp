// Every name is used relative to an open descriptor of the output's
// directory, so a temporary name only has to fit in that directory as the
// final name does. StagingArea::commit chooses one of four ways to put a
// finished output in its place: a copy to standard output, a copy into a
// non-regular file in place, and, for a new file, a name given without
// replacing anything or one that replaces an existing file.
#include "files/StagedOutput.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "files/TemporaryNames.h"

namespace zorvel {
namespace {

std::string errnoText(int error) { return std::generic_category().message(error); }

std::string quoted(const std::filesystem::path& path) {
    std::string text(1, '\'');  // appended: GCC 12 warns wrongly about "'" + ... here
    return text.append(path.string()).append(1, '\'');
}

// "<what> '<name>': <the system's reason>", carrying the error number. The
// message is built here, after the caller has read errno.
FileError systemError(const char* what, const std::filesystem::path& name, int error) {
    return FileError(std::string(what) + " " + quoted(name) + ": " + errnoText(error), error);
}

std::filesystem::path directoryOf(const std::filesystem::path& file) {
    const std::filesystem::path parent = file.parent_path();
    return parent.empty() ? std::filesystem::path(".") : parent;
}

std::string procName(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// Links the anonymous file `fd` under `name` in `directory`; fails with
// EEXIST rather than replace anything.
int linkAnonymous(int fd, int directory, const std::string& name) {
    if (linkat(AT_FDCWD, procName(fd).c_str(), directory, name.c_str(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT) return -1;
    // Without /proc: the descriptor itself (needs CAP_DAC_READ_SEARCH).
    return linkat(fd, "", directory, name.c_str(), AT_EMPTY_PATH);
}

// Links the anonymous file `fd` under `transient`, then renames that over
// `name`, replacing whatever `name` was; the transient name does not outlive
// a failure.
int linkThenRename(int fd, int directory, const std::string& transient, const std::string& name) {
    if (linkAnonymous(fd, directory, transient) != 0) return -1;
    if (renameat(directory, transient.c_str(), directory, name.c_str()) == 0) return 0;
    const int error = errno;
    unlinkat(directory, transient.c_str(), 0);
    errno = error;
    return -1;
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
        if (got < 0) throw systemError("cannot write", name, errno);
        if (got == 0) return;
        writeAll(to, buffer.data(), static_cast<std::size_t>(got), name);
        offset += got;
    }
}

// Copies the staged file `from` into the existing non-regular file `name`.
void copyInPlace(int from, const std::filesystem::path& name) {
    Descriptor target = openInPlace(name);
    copyTo(from, target.get(), name);
    if (const int error = target.close(); error != 0)
        throw systemError("cannot write", name, error);
}

}  // namespace

OutputPlace outputPlace(const std::filesystem::path& name) {
    if (name == "-") return OutputPlace::StandardOutput;
    struct stat status {};
    if (stat(name.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode))
        return OutputPlace::InPlace;
    return OutputPlace::NewFile;
}

Descriptor openInPlace(const std::filesystem::path& name, ReaderWait readerWait) {
    // Without waiting: a non-blocking open, which fails with ENXIO on a FIFO
    // without a reader; the writes after it block again.
    const int nonBlocking = readerWait == ReaderWait::refuse ? O_NONBLOCK : 0;
    Descriptor fd(open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | nonBlocking));
    if (!fd) throw systemError("cannot write", name, errno);
    struct stat status {};
    if (fstat(fd.get(), &status) != 0 || S_ISREG(status.st_mode))
        throw FileError("output " + quoted(name) + " changed into a regular file meanwhile");
    if (nonBlocking != 0) {
        const int flags = fcntl(fd.get(), F_GETFL);
        if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
            throw systemError("cannot write", name, errno);
    }
    return fd;
}

int newFileError(const std::filesystem::path& directory) {
    const std::filesystem::path where = directory.empty() ? "." : directory;
    if (Descriptor(::open(where.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600))) return 0;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return errno;
    // No anonymous files here: a hidden named one, removed at once.
    std::string name = (where / ".zorvel-probe-XXXXXX").string();
    if (!Descriptor(::mkostemp(name.data(), O_CLOEXEC))) return errno;
    ::unlink(name.c_str());
    return 0;
}

void writeAll(int fd, const char* data, std::size_t size, const std::filesystem::path& name) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            throw systemError("cannot write", name, error);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

std::string StagingArea::nextTemporaryName(const std::string& finalLeaf) {
    return temporaryName(finalLeaf, getpid(), serial_++);
}

void StagingArea::removeLeftoversOnce(int directory, const std::filesystem::path& path) {
    if (cleaned_.insert(std::filesystem::absolute(path)).second)
        removeLeftoverTemporaries(directory);
}

StagingArea::Entry StagingArea::create(const std::filesystem::path& finalName, OutputPlace place) {
    std::lock_guard lock(mutex_);
    if (closed_) throw FileError("interrupted");
    Entry entry;
    if (place != OutputPlace::NewFile) {
        entry.fd = Descriptor(memfd_create("zorvel-output", MFD_CLOEXEC));
        if (!entry.fd) {
            const int error = errno;
            throw FileError("cannot stage the output: " + errnoText(error), error);
        }
        return entry;
    }
    const std::filesystem::path directory = directoryOf(finalName);
    const std::string leaf = finalName.filename().string();
    if (leaf.empty() || leaf == "." || leaf == "..")
        throw FileError("output " + quoted(finalName) + " names no file");
    entry.directory = Descriptor(open(directory.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!entry.directory) throw systemError("cannot create the output in", directory, errno);
    removeLeftoversOnce(entry.directory.get(), directory);
    entry.fd = Descriptor(openat(entry.directory.get(), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
    if (entry.fd) return entry;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        throw systemError("cannot create the output in", directory, errno);
    // No anonymous files here: a hidden name, locked while this process lives.
    for (;;) {
        entry.temporaryName = nextTemporaryName(leaf);
        entry.fd = Descriptor(openat(entry.directory.get(), entry.temporaryName.c_str(),
                                     O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (entry.fd) break;
        if (errno != EEXIST) throw systemError("cannot create the output in", directory, errno);
    }
    flock(entry.fd.get(), LOCK_EX);
    named_.emplace(entry.directory.get(), entry.temporaryName);
    return entry;
}

Descriptor scratchFile() {
    std::error_code ignored;
    const std::filesystem::path directory = std::filesystem::temp_directory_path(ignored);
    const std::filesystem::path where = directory.empty() ? "/tmp" : directory;
    Descriptor fd(::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (fd) return fd;
    // No anonymous files there: a unique name, removed at once.
    std::string name = (where / ".zv-scratch-XXXXXX").string();
    fd = Descriptor(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd) throw systemError("cannot make a scratch file in", where, errno);
    ::unlink(name.c_str());
    return fd;
}

void StagingArea::commit(Entry& entry, const std::filesystem::path& finalName, OutputPlace place,
                         bool replace) {
    if (place == OutputPlace::StandardOutput) {
        commitToStandardOutput(entry);
    } else if (place == OutputPlace::InPlace) {
        commitInPlace(entry, finalName);
    } else if (replace) {
        commitReplacing(entry, finalName);
    } else {
        commitWithoutReplacing(entry, finalName);
    }
}

// A copy makes no name, so an interrupt has nothing to wait for: it runs
// outside the lock (a FIFO may wait for its reader).
void StagingArea::commitToStandardOutput(Entry& entry) {
    try {
        copyTo(entry.fd.get(), STDOUT_FILENO, "standard output");
    } catch (...) {
        discard(entry);
        throw;
    }
    discard(entry);
}

void StagingArea::commitInPlace(Entry& entry, const std::filesystem::path& finalName) {
    try {
        copyInPlace(entry.fd.get(), finalName);
    } catch (...) {
        discard(entry);
        throw;
    }
    discard(entry);
}

// A link never replaces, nor does the no-replace rename.
void StagingArea::commitWithoutReplacing(Entry& entry, const std::filesystem::path& finalName) {
    nameNewFile(entry, finalName, [&entry](const std::string& leaf) {
        return entry.temporaryName.empty()
                   ? linkAnonymous(entry.fd.get(), entry.directory.get(), leaf)
                   : renameNoReplace(entry.directory.get(), entry.temporaryName, leaf);
    });
}

// Replacing needs a rename; an anonymous file gets a name for a moment first.
void StagingArea::commitReplacing(Entry& entry, const std::filesystem::path& finalName) {
    nameNewFile(entry, finalName, [this, &entry](const std::string& leaf) {
        if (entry.temporaryName.empty())
            return linkThenRename(entry.fd.get(), entry.directory.get(), nextTemporaryName(leaf),
                                  leaf);
        return renameat(entry.directory.get(), entry.temporaryName.c_str(), entry.directory.get(),
                        leaf.c_str());
    });
}

void StagingArea::nameNewFile(Entry& entry, const std::filesystem::path& finalName,
                              const std::function<int(const std::string& leaf)>& naming) {
    std::unique_lock lock(mutex_);
    int result = -1;
    int error = EINTR;  // what an interrupt meanwhile reports
    if (!closed_) {
        result = naming(finalName.filename().string());
        if (result != 0) error = errno;
    }
    if (result == 0) {
        named_.erase({entry.directory.get(), entry.temporaryName});
        entry.temporaryName.clear();
    }
    lock.unlock();
    discard(entry);
    if (result == 0) return;
    if (error == EEXIST)
        throw FileError("output " + quoted(finalName) + " exists" +
                        (existsAdvice_.empty() ? "" : "; " + existsAdvice_));
    if (error == EINTR) throw FileError("interrupted");
    throw systemError("cannot write", finalName, error);
}

void StagingArea::discard(Entry& entry) noexcept {
    std::lock_guard lock(mutex_);
    if (!entry.temporaryName.empty()) {
        unlinkat(entry.directory.get(), entry.temporaryName.c_str(), 0);
        named_.erase({entry.directory.get(), entry.temporaryName});
        entry.temporaryName.clear();
    }
    entry.fd.reset();
    entry.directory.reset();
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

std::filesystem::path StagedFile::temporary() const { return procName(entry_.fd.get()); }

void StagedFile::commit(bool replace) {
    committed_ = true;  // a commit, failed or not, has let go of the staged file
    area_.commit(entry_, place_ == OutputPlace::NewFile ? target_ : finalName_, place_, replace);
}

}  // namespace zorvel
