// Progress of a batch: how far the files being coded have got, and a bar on
// standard error that shows it when standard error is a terminal.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace zorvel::cli {

// Per file: the frames it will give, the temporary output while it is being
// written (its size tells how many frames are done) and whether it is over.
class BatchProgress {
  public:
    explicit BatchProgress(std::vector<std::int64_t> expectedFrames);

    void begin(std::size_t file, std::filesystem::path temporaryOutput);
    void finish(std::size_t file);
    // For runs that write no file (sweep): one more frame of `file` coded.
    void countFrame(std::size_t file);

    // 0..1 over all frames of the batch (over files when no file has frames).
    double fraction() const;
    std::size_t finishedFiles() const;
    std::size_t files() const { return entries_.size(); }

  private:
    struct Entry {
        std::int64_t expectedFrames = 0;
        std::filesystem::path temporaryOutput;
        std::int64_t counted = 0;  // frames counted by countFrame
        bool running = false;
        bool finished = false;
    };
    static std::int64_t framesWritten(const Entry& entry);

    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

// Redraws a one-line bar on standard error a few times a second while alive
// (only when `enabled`), and prints messages above it. Messages go to standard
// error in either case, one whole line at a time.
class ProgressBar {
  public:
    ProgressBar(const BatchProgress& progress, bool enabled);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void message(std::string_view line);

  private:
    void run(std::stop_token stop);
    void draw();   // with mutex_ held
    void erase();  // with mutex_ held

    const BatchProgress& progress_;
    bool enabled_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
    std::jthread painter_;
};

// True when standard error is a terminal.
bool standardErrorIsTerminal();

}  // namespace zorvel::cli
