// The side-chain path in one pass: the band splitter's filters and the two detectors keyed by
// the band run in the same loop, each detector step right after the filter step that makes its
// key, so that the two recursions overlap in the processor instead of following each other.
// Gives exactly what splitting first (BandSplitFilter3::splitBand, then the mid and side of the
// band for modes 2 and 3) and then the side-chain forms of Compressor2 give, bufferBP included.
//
// Threads: [render].
#pragma once

#include "BandSplitFilter3.h"
#include "Compressor2.h"

namespace keyed_by_band {

// Compresses left and right (mode 0 dual, 1 linked, 2 mid-side, 3 mid-side linked) keyed by the
// band of their own input, at most 4096 frames. Returns false, having done nothing, where the
// one-pass form does not apply (no SSE2, filters other than three sections, detector
// coefficients that are not both positive or not ordered alike in A and B, one buffer for both
// channels); the caller then splits and compresses in two steps.
bool compress(Compressor2& compressor, BandSplitFilter3& band, int mode, float* left, float* right,
              int count);

}  // namespace keyed_by_band
