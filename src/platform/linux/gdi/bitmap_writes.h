// A count that moves whenever a bitmap has been written to. Every write goes
// through the drawing part's own calls (SetPixel, Rectangle, StretchBlt's
// destination, TextOutA), which note it on the device context; asking for
// the count turns that note into a step of the count. What is derived from a
// bitmap remembers the count it was made at, and is stale once it differs.
// SetPixel notes its writes only once the count has been asked for (the
// context is watched): before, nothing derived from the bitmap exists.
#pragma once

#include <cstdint>

#include "../gdi.h"

std::uint64_t BitmapWrites(HBITMAP__& bitmap);
