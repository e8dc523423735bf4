// A count that moves whenever a bitmap has been written to. Every write goes
// through the drawing part's own calls (SetPixel, Rectangle, StretchBlt's
// destination, TextOutA), which mark the device context the bitmap is
// selected into; the mark counts as one step of the count. What is derived
// from a bitmap (its reduction kept for the next paint) remembers the count it
// was made at, and is stale once the count differs.
#pragma once

#include <cstdint>

#include "../gdi.h"

// The count as it is now, a mark not yet counted included. Changes nothing.
std::uint64_t WriteCount(const HBITMAP__& bitmap);

// Something derived from the bitmap is about to be kept: the count takes in
// the context's mark, and the context's SetPixel marks the next write again
// (see there). Returns the count.
std::uint64_t WatchWrites(HBITMAP__& bitmap);
