// The exact area average of a large bitmap: every source pixel read, on two
// cores, and the result kept, so that a repaint of the same picture at the
// same size copies it instead of reading the whole bitmap again. Internal to
// the drawing part of the layer.
#pragma once

#include "area_average.h"

// Reduces the source onto the stretch's destination exactly. The result is
// kept for the bitmap: a stretch of the same bitmap, unwritten since, with the
// same geometry, copies it.
void StretchExactly(const AreaStretch& stretch, HDC source);

// Whether an exact result of the bitmap, as it is now, is kept (for any size).
bool HasExactResult(HBITMAP__& bitmap);

// Frees what is kept for the bitmap; DeleteObject calls it.
void ReleaseExactResult(HBITMAP bitmap);
