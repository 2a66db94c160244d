// The ways the pulse-position search can run. All of them choose the same
// positions; they differ in speed and in what the processor must have.
// `literal` is the plain enumeration of AlgebraicSearch.cpp, the others the
// screened search of ScreenedSearch.h (modes 3 to 8) and the vector pair
// steps of PairScan.h (modes 1 and 2) with two, four or eight candidates per
// step. The coder uses the fastest the processor runs, chosen once.
#pragma once

#include <array>
#include <string_view>

#include "coder/AlgebraicSearch.h"

namespace zorvel {

enum class SearchPath { literal, portable, avx2, avx512 };

inline constexpr std::array<SearchPath, 4> kSearchPaths{SearchPath::literal, SearchPath::portable,
                                                        SearchPath::avx2, SearchPath::avx512};

std::string_view searchPathName(SearchPath path);

// Whether this build and this processor can run `path`.
bool searchPathAvailable(SearchPath path);

// The path searchPulsePositions uses.
SearchPath fastestSearchPath();

PulseVector searchPulsePositions(CoderMode mode, int a, SubframeVector d, CorrelationMatrix phi,
                                 SubframeVector b, SearchPath path);

}  // namespace zorvel
