// Checkpoints: snapshots of everything that carries the coder from one frame
// to the next, taken every kCheckpointInterval frames while it codes, so that
// goToFrame reaches any frame by coding at most kCheckpointInterval frames.
//
// A snapshot of frame c holds the record of frame c (the previous record of
// frame c + 1; every stage takes its history from it), the running quality
// measures after frame c and the input position of frame c + 1. Restoring it
// and coding frames c + 1..n gives the same records, SNRs and sums as coding
// frames 1..n from a reset, because nothing else crosses a frame boundary.
//
// A store is tied to one input, one mode and one set of coder settings and
// may be shared by several coders on different threads: snapshots are
// immutable once added, and every access to the table takes the store's lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "coder/CoderMode.h"
#include "coder/CoderSettings.h"
#include "coder/Frame.h"

namespace zorvel {

// Frames between two snapshots. A snapshot is one record (about 43 KB) plus a
// few numbers, so a 1-hour file (180,000 frames) keeps 900 snapshots, about
// 38 MB; reaching any frame codes at most this many frames.
inline constexpr int kCheckpointInterval = 200;

struct CoderSnapshot {
    int frameCount = 0;  // c, a multiple of kCheckpointInterval, at least 1
    FrameRecord record{};
    double frameSnr = 0.0;
    double segmentalSnr = 0.0;
    double overallSnr = 0.0;
    double signalEnergySum = 0.0;
    double noiseEnergySum = 0.0;
    std::int64_t inputPosition = 0;  // byte offset of frame c + 1 in the input
};

class CheckpointStore {
  public:
    explicit CheckpointStore(CoderMode mode, const CoderSettings& settings = {})
        : mode_(mode), settings_(settings) {}
    CheckpointStore(const CheckpointStore&) = delete;
    CheckpointStore& operator=(const CheckpointStore&) = delete;

    // The mode and settings whose frames the snapshots describe.
    CoderMode mode() const { return mode_; }
    const CoderSettings& settings() const { return settings_; }

    // Whether frame c has a snapshot yet (c a multiple of the interval).
    bool has(int c) const;
    // Adds the snapshot of its frame unless one is there already.
    void add(std::shared_ptr<const CoderSnapshot> snapshot);
    // The snapshot of the largest frame c with 1 <= c <= n, or none.
    std::shared_ptr<const CoderSnapshot> latestAtOrBefore(int n) const;

    // Jumps: the one rule of where a coder at frame `from` (0: before frame 1)
    // starts coding to reach frame `to`, for the coder and for a window that
    // waits for a background pass to fill the store.
    //
    // The snapshot a jump starts at: the latest of a frame c <= to - 1 (frame
    // `to` itself is always coded, so its previous record is exact as well)
    // when that saves coding: going back, any such; going forward, one past
    // `from`. None: going forward the jump codes on from `from`, going back
    // from a reset.
    std::shared_ptr<const CoderSnapshot> startOfJump(int from, int to) const;
    // The snapshot a jump from `from` to `to` needs to code at most
    // kCheckpointInterval frames: 0 when it needs none (`to` lies at most one
    // interval past `from`, or before it), else the latest multiple of the
    // interval below `to`.
    static int snapshotForShortJump(int from, int to);
    // Whether that jump codes at most kCheckpointInterval frames with the
    // snapshots held now.
    bool codesAtMostInterval(int from, int to) const;

    std::size_t count() const;
    // Memory held by the snapshots, in bytes.
    std::size_t memoryBytes() const;

  private:
    const CoderMode mode_;
    const CoderSettings settings_;
    mutable std::mutex mutex_;
    // Slot i holds the snapshot of frame (i + 1) * kCheckpointInterval.
    std::vector<std::shared_ptr<const CoderSnapshot>> slots_;
};

}  // namespace zorvel
