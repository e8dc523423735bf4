// How often a bitmap has been written to. Every write goes through the
// drawing part's own calls (SetPixel, Rectangle, StretchBlt's destination,
// TextOutA), which count it on the device context; the count of a bitmap is
// what the contexts it was selected into counted. What is derived from a
// bitmap remembers the count it was made at, and is stale once it differs.
#pragma once

#include <cstdint>

#include "../gdi.h"

std::uint64_t BitmapWrites(const HBITMAP__& bitmap);
