// Outputs are never left half-written, and never put in the place of what is
// not an ordinary file. A new output is written into an anonymous file in its
// own directory (O_TMPFILE), which gets its name only once complete; where the
// file system has no anonymous files, into a hidden temporary name
// (files/TemporaryNames.h) that discardAll removes (the command-line tool
// calls it on an interrupt) and that a later run removes when its process is
// gone.
// An output that exists and is not a regular file (a device, a FIFO, a socket,
// or a link to one), and standard output ("-"), are written in place: the
// output is made in memory and copied there once complete.
#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "files/Descriptor.h"
#include "files/FileError.h"

namespace zorvel {

// Where an output name leads.
enum class OutputPlace {
    NewFile,         // absent or a regular file: staged beside it, then named
    InPlace,         // exists and is not a regular file: written into as it is
    StandardOutput,  // "-"
};

// "-" is standard output; an existing name whose file (links followed) is not
// a regular file or a directory is written in place.
OutputPlace outputPlace(const std::filesystem::path& name);

// Whether opening a FIFO in place waits for its reader.
enum class ReaderWait {
    wait,    // the open returns once a reader opens the FIFO
    refuse,  // a FIFO that no one reads fails at once ("No such device or address")
};

// Opens an existing non-regular output for writing, as it is (no truncation,
// no creation). Writes on it block as usual; only the open is told by
// `readerWait`. Throws FileError with the system's reason.
Descriptor openInPlace(const std::filesystem::path& name, ReaderWait readerWait = ReaderWait::wait);

// Whether a new file can be made in `directory` now: 0 when it can, else the
// system's error number (EACCES, EROFS, ENOENT, ...). A file is made there and
// removed again: permissions alone do not tell, since a read-only file
// system, or a directory of the kernel's own, refuses even the superuser.
int newFileError(const std::filesystem::path& directory);

// Writes all of `size` bytes to `fd`; throws FileError naming `name` with the
// system's reason (a full disk, say) when it cannot.
void writeAll(int fd, const char* data, std::size_t size, const std::filesystem::path& name);

// An anonymous file in the system's temporary directory (TMPDIR), open for
// reading, writing and seeking, gone with its descriptor: room for data too
// long to hold in memory. Throws FileError with the system's reason.
Descriptor scratchFile();

// The staged outputs in flight, shared by the threads of one command.
class StagingArea {
  public:
    // `existsAdvice`, when given, ends the message of an output refused
    // because it exists: how the caller's user overwrites it.
    explicit StagingArea(std::string existsAdvice = {}) : existsAdvice_(std::move(existsAdvice)) {}

    struct Entry {
        Descriptor fd;              // the staged file, open for reading and writing
        Descriptor directory;       // the final name's directory (new files only)
        std::string temporaryName;  // hidden name in that directory; empty when anonymous
    };

    // Stages `finalName` (see OutputPlace). Throws FileError naming the
    // directory and the reason when it cannot.
    Entry create(const std::filesystem::path& finalName, OutputPlace place);

    // Gives the staged file its final name or copies it to its place. Without
    // `replace` an existing file of that name is never overwritten, even one
    // that appeared meanwhile. Throws FileError (and discards the staged file)
    // when it fails.
    void commit(Entry& entry, const std::filesystem::path& finalName, OutputPlace place,
                bool replace);

    void discard(Entry& entry) noexcept;

    // Removes every named temporary file in flight and refuses new ones and
    // commits: the process is about to end on an interrupt.
    void discardAll() noexcept;

  private:
    // The cases of commit. Each lets go of the staged file, whether it
    // succeeds or throws.
    void commitToStandardOutput(Entry& entry);
    void commitInPlace(Entry& entry, const std::filesystem::path& finalName);
    void commitWithoutReplacing(Entry& entry, const std::filesystem::path& finalName);
    void commitReplacing(Entry& entry, const std::filesystem::path& finalName);
    // Gives a new file its final name by `naming`, which gets the final
    // name's leaf and returns 0, or -1 with errno set; it runs under the lock
    // and not at all after an interrupt.
    void nameNewFile(Entry& entry, const std::filesystem::path& finalName,
                     const std::function<int(const std::string& leaf)>& naming);

    std::string nextTemporaryName(const std::string& finalLeaf);
    void removeLeftoversOnce(int directory, const std::filesystem::path& path);

    const std::string existsAdvice_;
    std::mutex mutex_;
    std::set<std::pair<int, std::string>> named_;  // directory fd, temporary name
    std::set<std::filesystem::path> cleaned_;      // directories searched for leftovers
    unsigned long serial_ = 0;
    bool closed_ = false;
};

// One output on its way: staged on construction, discarded on destruction
// unless committed. A final name that is a link to a regular file is written
// where the link leads, so the link stays.
class StagedFile {
  public:
    StagedFile(StagingArea& area, std::filesystem::path finalName);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // The staged file, open for reading, writing and seeking.
    int descriptor() const { return entry_.fd.get(); }
    // A name that opens the staged file itself ("/proc/self/fd/N"), for
    // writers that take a name; it never creates a file of its own.
    std::filesystem::path temporary() const;
    const std::filesystem::path& finalName() const { return finalName_; }
    void commit(bool replace);

  private:
    StagingArea& area_;
    std::filesystem::path finalName_;
    std::filesystem::path target_;  // the file a link leads to, or the final name
    OutputPlace place_;
    StagingArea::Entry entry_;
    bool committed_ = false;
};

}  // namespace zorvel
