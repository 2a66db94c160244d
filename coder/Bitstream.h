// A quantised frame's code as bytes, and back: the indices one after another
// in the order a decoder reads them (FrameCode.h), each most significant bit
// first, the frame in ceil(bits / 8) bytes with the last byte's unused bits
// zero. Which indices a frame holds and their widths follow from the mode
// alone (frameLayout), so a frame's bytes carry nothing else.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "coder/CoderMode.h"
#include "coder/FrameCode.h"

namespace zorvel {

// The mode's frame: every code with its parameter, subframe and bits (index
// 0), in the order the coder writes them.
FrameCode frameLayout(CoderMode mode);

// Bytes of a frame of the mode: ceil(frameBits / 8).
int frameBytes(CoderMode mode);

// The frame's bytes. Throws std::invalid_argument when `code` does not follow
// the mode's layout or an index does not fit its bits.
std::vector<std::uint8_t> packFrame(CoderMode mode, const FrameCode& code);

// The code of a frame's bytes; throws std::invalid_argument when there are
// not frameBytes(mode) of them. Any bytes give indices that fit their widths
// (whether each names a value is for its parameter's decoder to say).
FrameCode unpackFrame(CoderMode mode, std::span<const std::uint8_t> bytes);

}  // namespace zorvel
