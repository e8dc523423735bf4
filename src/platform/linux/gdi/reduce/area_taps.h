// The source pixels each destination pixel of a reducing stretch covers,
// along one axis, and their weights; and the two ways of averaging with them.
// Internal to the drawing part of the layer.
#pragma once

#include <cstdint>
#include <vector>

#include "area_average.h"

// Weights are integers in 1/4096 of a source pixel: a wholly covered one
// weighs 4096, a partly covered one the part it contributes.
constexpr int kWeightShift = 12;

// Per destination position along the axis: a run of source pixels from
// `first`, `count` long (0 when none lies inside the source), with its
// weights from `offset` on and their sum in `total`. Runs only move forward.
struct Taps {
  std::vector<std::int32_t> first, count, offset;
  std::vector<std::int64_t> total;
  std::vector<std::int16_t> weights;
};

// One axis of a stretch: the destination positions [clipFirst, clipLast) of
// the destination span from `start`, `length` long, which shows the source
// span from `sourceStart`, `sourceLength` long, of a source `sourceSize`
// long. Along an axis that does not reduce, each position takes the one pixel
// under its centre.
struct Axis {
  std::int64_t clipFirst, clipLast, start, length, sourceStart, sourceLength;
  std::size_t sourceSize;
};

Taps AxisTaps(const Axis& axis);

// Averages with 16-bit sums where at most four source rows and columns meet
// in a destination pixel and every destination column covers some source
// column: the common case, several times faster. False, having done nothing,
// otherwise (and always without SSE2).
bool StretchFewTaps(const AreaStretch& stretch, const SourceRaster& source, const Taps& columns,
                    const Taps& rows);

// Averages in any case, with 32-bit row sums and float column sums.
void StretchAnyTaps(const AreaStretch& stretch, const SourceRaster& source, const Taps& columns,
                    const Taps& rows);
