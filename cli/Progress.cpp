#include "cli/Progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "sound/SpeechInput.h"

namespace zorvel::cli {
namespace {

constexpr int kBarCells = 30;
constexpr std::chrono::milliseconds kRedrawInterval{200};

}  // namespace

BatchProgress::BatchProgress(std::vector<std::int64_t> expectedFrames) {
    entries_.resize(expectedFrames.size());
    for (std::size_t i = 0; i < expectedFrames.size(); ++i)
        entries_[i].expectedFrames = expectedFrames[i];
}

void BatchProgress::begin(std::size_t file, std::filesystem::path temporaryOutput) {
    std::lock_guard lock(mutex_);
    entries_.at(file).temporaryOutput = std::move(temporaryOutput);
    entries_.at(file).running = true;
}

void BatchProgress::finish(std::size_t file) {
    std::lock_guard lock(mutex_);
    entries_.at(file).running = false;
    entries_.at(file).finished = true;
}

void BatchProgress::countFrame(std::size_t file) {
    std::lock_guard lock(mutex_);
    ++entries_.at(file).counted;
}

std::int64_t BatchProgress::framesWritten(const Entry& entry) {
    if (entry.finished) return entry.expectedFrames;
    if (entry.counted > 0) return std::min(entry.expectedFrames, entry.counted);
    if (!entry.running) return 0;
    std::error_code error;
    const auto size =
        static_cast<std::int64_t>(std::filesystem::file_size(entry.temporaryOutput, error));
    if (error) return 0;
    return std::min(entry.expectedFrames, framesInBytes(size));
}

double BatchProgress::fraction() const {
    std::lock_guard lock(mutex_);
    std::int64_t total = 0;
    std::int64_t done = 0;
    for (const Entry& entry : entries_) {
        total += entry.expectedFrames;
        done += framesWritten(entry);
    }
    if (total > 0) return static_cast<double>(done) / static_cast<double>(total);
    if (entries_.empty()) return 1.0;
    const auto finished =
        std::ranges::count_if(entries_, [](const Entry& e) { return e.finished; });
    return static_cast<double>(finished) / static_cast<double>(entries_.size());
}

std::size_t BatchProgress::finishedFiles() const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::ranges::count_if(entries_, [](const Entry& e) { return e.finished; }));
}

ProgressBar::ProgressBar(const BatchProgress& progress, bool enabled)
    : progress_(progress), enabled_(enabled) {
    if (enabled_) painter_ = std::jthread([this](std::stop_token stop) { run(stop); });
}

ProgressBar::~ProgressBar() {
    if (!enabled_) return;
    painter_.request_stop();
    painter_.join();
    std::lock_guard lock(mutex_);
    erase();
}

void ProgressBar::message(std::string_view line) {
    std::lock_guard lock(mutex_);
    if (enabled_) erase();
    std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
    if (enabled_) draw();
    std::fflush(stderr);
}

void ProgressBar::run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        draw();
        wake_.wait_for(lock, stop, kRedrawInterval, [] { return false; });
    }
}

void ProgressBar::draw() {
    const double fraction = std::clamp(progress_.fraction(), 0.0, 1.0);
    const int filled = static_cast<int>(fraction * kBarCells);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarCells, '-');
    std::fprintf(stderr, "\r[%s] %3d%%  %zu/%zu files", bar.c_str(),
                 static_cast<int>(fraction * 100.0), progress_.finishedFiles(), progress_.files());
    std::fflush(stderr);
}

void ProgressBar::erase() { std::fprintf(stderr, "\r\033[K"); }

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace zorvel::cli
