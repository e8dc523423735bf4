// A count that moves whenever a bitmap has been written to. Every write goes
// through the drawing part's own calls (SetPixel, Rectangle, StretchBlt's
// destination, TextOutA), which note it on the device context; asking for
// the count turns that note into a step of the count. What is derived from a
// bitmap remembers the count it was made at, and is stale once it differs.
// Once the count has been asked for, the context's quiet width is 0, so that
// SetPixel notes its next write (see there); before, nothing derived from
// the bitmap exists, and a decoded picture pays nothing for the note.
#pragma once

#include <cstdint>

#include "../gdi.h"

std::uint64_t BitmapWrites(HBITMAP__& bitmap);
