// The one pool of threads every run over many jobs uses: `threads` threads
// (at least one, at most one per job; 0 asks for one per core) each take the
// next job index in turn. A job that answers false stops the others before
// their next job; the first exception a job throws stops them as well and is
// thrown again once every thread has ended.
#pragma once

#include <cstddef>
#include <functional>

namespace zorvel {

// The threads a run of `jobs` jobs uses when `requested` are asked for (0:
// one per core).
unsigned poolThreads(unsigned requested, std::size_t jobs);

// Runs jobs 0..jobs-1 on the pool; false when a job stopped the run.
bool runOnPool(std::size_t jobs, unsigned threads, const std::function<bool(std::size_t job)>& job);

}  // namespace zorvel
