// The checkpoint store, and the coder's side of it: keeping a snapshot every
// kCheckpointInterval frames and restoring the nearest one before a jump.
#include "coder/Checkpoints.h"

#include "coder/SpeechCoder.h"

namespace zorvel {

// The snapshots of a 1-hour input (180,000 frames) stay within 64 MB.
static_assert(180'000 / kCheckpointInterval * sizeof(CoderSnapshot) <= std::size_t{64} << 20);

bool CheckpointStore::has(int c) const {
    if (c < kCheckpointInterval || c % kCheckpointInterval != 0) return false;
    const auto slot = static_cast<std::size_t>(c / kCheckpointInterval - 1);
    const std::lock_guard lock(mutex_);
    return slot < slots_.size() && slots_[slot] != nullptr;
}

void CheckpointStore::add(std::shared_ptr<const CoderSnapshot> snapshot) {
    const int c = snapshot->frameCount;
    if (c < kCheckpointInterval || c % kCheckpointInterval != 0) return;
    const auto slot = static_cast<std::size_t>(c / kCheckpointInterval - 1);
    const std::lock_guard lock(mutex_);
    if (slot >= slots_.size()) slots_.resize(slot + 1);
    if (!slots_[slot]) slots_[slot] = std::move(snapshot);
}

std::shared_ptr<const CoderSnapshot> CheckpointStore::latestAtOrBefore(int n) const {
    if (n < kCheckpointInterval) return nullptr;
    const std::lock_guard lock(mutex_);
    auto slot = std::min(static_cast<std::size_t>(n / kCheckpointInterval), slots_.size());
    while (slot > 0) {
        --slot;
        if (slots_[slot]) return slots_[slot];
    }
    return nullptr;
}

std::shared_ptr<const CoderSnapshot> CheckpointStore::startOfJump(int from, int to) const {
    auto snapshot = latestAtOrBefore(to - 1);
    if (snapshot && to > from && snapshot->frameCount <= from) return nullptr;
    return snapshot;
}

int CheckpointStore::snapshotForShortJump(int from, int to) {
    if (to - from <= kCheckpointInterval) return 0;
    return (to - 1) / kCheckpointInterval * kCheckpointInterval;
}

bool CheckpointStore::codesAtMostInterval(int from, int to) const {
    const int c = snapshotForShortJump(from, to);
    return c == 0 || has(c);
}

std::size_t CheckpointStore::count() const {
    const std::lock_guard lock(mutex_);
    std::size_t kept = 0;
    for (const auto& snapshot : slots_) kept += snapshot ? 1 : 0;
    return kept;
}

std::size_t CheckpointStore::memoryBytes() const {
    const std::lock_guard lock(mutex_);
    std::size_t kept = 0;
    for (const auto& snapshot : slots_) kept += snapshot ? 1 : 0;
    return kept * sizeof(CoderSnapshot) + slots_.capacity() * sizeof(slots_[0]);
}

// The coder -------------------------------------------------------------------

void SpeechCoder::setCheckpoints(std::shared_ptr<CheckpointStore> store) {
    keepsCheckpoints_ = store != nullptr;
    checkpoints_ = std::move(store);
}

CheckpointStore* SpeechCoder::checkpointsForSettings() {
    if (!keepsCheckpoints_) return nullptr;
    if (!checkpoints_ || checkpoints_->mode() != mode_ || checkpoints_->settings() != settings_)
        checkpoints_ = std::make_shared<CheckpointStore>(mode_, settings_);
    return checkpoints_.get();
}

void SpeechCoder::keepCheckpoint() {
    CheckpointStore* const store = checkpointsForSettings();
    if (!store || store->has(frameCount_)) return;
    auto snapshot = std::make_shared<CoderSnapshot>();
    snapshot->frameCount = frameCount_;
    snapshot->record = *currentFrame_;
    snapshot->frameSnr = frameSnr_;
    snapshot->segmentalSnr = segmentalSnr_;
    snapshot->overallSnr = overallSnr_;
    snapshot->signalEnergySum = signalEnergySum_;
    snapshot->noiseEnergySum = noiseEnergySum_;
    snapshot->inputPosition = inputPosition();
    store->add(std::move(snapshot));
}

// Puts the coder at the snapshot the store starts a jump to frame n at (see
// CheckpointStore::startOfJump).
void SpeechCoder::restoreNearestCheckpoint(int n) {
    if (n <= 1) return;
    CheckpointStore* const store = checkpointsForSettings();
    if (!store) return;
    const auto snapshot = store->startOfJump(frameCount_, n);
    if (!snapshot) return;
    clearFrameRecord(*previousFrame_);  // replaced by the next frame's rotation
    *currentFrame_ = snapshot->record;
    frameCount_ = snapshot->frameCount;
    frameSnr_ = snapshot->frameSnr;
    segmentalSnr_ = snapshot->segmentalSnr;
    overallSnr_ = snapshot->overallSnr;
    signalEnergySum_ = snapshot->signalEnergySum;
    noiseEnergySum_ = snapshot->noiseEnergySum;
    seekInput(snapshot->inputPosition);
}

// The only two places that know where the coder stands in its input.
std::int64_t SpeechCoder::inputPosition() { return input.position(); }

void SpeechCoder::seekInput(std::int64_t position) { input.seek(position); }

}  // namespace zorvel
