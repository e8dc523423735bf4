// The exact area average of a large bitmap, kept for the next paint: a repaint
// of the same picture at the same size and place (an expose, a window passing
// over) copies it instead of reading the whole bitmap again. Internal to the
// drawing part of the layer.
#pragma once

#include "area_average.h"

// Copies the reduction kept for the source's bitmap onto the stretch's
// destination when it was made for this stretch and the bitmap has not been
// written to since; false, having done nothing, otherwise.
bool CopyKeptReduction(const AreaStretch& stretch, HDC source);

// Reduces the source onto the stretch's destination exactly and keeps the
// result for the bitmap, in the place of what it kept before.
void ReduceAndKeep(const AreaStretch& stretch, HDC source);

// Whether a reduction of the bitmap as it is now is kept, for any stretch.
bool HasKeptReduction(const HBITMAP__& bitmap);

// Frees what is kept for the bitmap; DeleteObject calls it.
void ReleaseKeptReduction(HBITMAP bitmap);
