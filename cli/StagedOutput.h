// Outputs are never left half-written, and never put in the place of what is
// not an ordinary file. A new output is written into an anonymous file in its
// own directory (O_TMPFILE), which gets its name only once complete; where the
// file system has no anonymous files, into a hidden temporary name that an
// interrupt removes and that a later run removes when its process is gone.
// An output that exists and is not a regular file (a device, a FIFO, a socket,
// or a link to one), and standard output ("-"), are written in place: the
// output is made in memory and copied there once complete.
#pragma once

#include <csignal>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace zorvel::cli {

// Where an output name leads.
enum class OutputPlace {
    NewFile,         // absent or a regular file: staged beside it, then named
    InPlace,         // exists and is not a regular file: written into as it is
    StandardOutput,  // "-"
};

// "-" is standard output; an existing name whose file (links followed) is not
// a regular file or a directory is written in place.
OutputPlace outputPlace(const std::filesystem::path& name);

// Opens an existing non-regular output for writing, as it is (no truncation,
// no creation). Throws FileError with the system's reason.
int openInPlace(const std::filesystem::path& name);

// Writes all of `size` bytes to `fd`; throws FileError naming `name` with the
// system's reason (a full disk, say) when it cannot.
void writeAll(int fd, const char* data, std::size_t size, const std::filesystem::path& name);

// The staged outputs in flight, shared by the threads of one command.
class StagingArea {
  public:
    struct Entry {
        int fd = -1;                // the staged file, open for reading and writing
        int directory = -1;         // the final name's directory (new files only)
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
    std::string temporaryName(const std::string& finalLeaf);
    void removeLeftovers(int directory, const std::filesystem::path& path);

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
    int descriptor() const { return entry_.fd; }
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
