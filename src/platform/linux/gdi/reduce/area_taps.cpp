// Which source pixels each destination pixel covers, and by how much: the
// span [t, t + 1) * sourceLength / length of destination position t, in
// 1/4096 of a source pixel (kWeightShift), cut to the source.
#include "area_taps.h"

#include <algorithm>

#include "../raster_pixels.h"

namespace {

// Where destination position t begins. 128 bits: t reaches 2^32 and the
// lengths 2^31.
std::int64_t Boundary(const Axis& axis, std::int64_t t) {
  const __int128 numerator = (__int128{axis.sourceStart} * axis.length + __int128{t} * axis.sourceLength)
                             << kWeightShift;
  return FloorDivide(numerator, __int128{axis.length});
}

}  // namespace

Taps AxisTaps(const Axis& axis) {
  Taps taps;
  const std::int64_t end = static_cast<std::int64_t>(axis.sourceSize) << kWeightShift;
  const bool reducing = axis.sourceLength > axis.length;
  for (std::int64_t d = axis.clipFirst; d < axis.clipLast; ++d) {
    const std::int64_t t = d - axis.start;
    std::int64_t low, high;
    if (reducing) {
      low = Boundary(axis, t);
      high = Boundary(axis, t + 1);
    } else {
      low = CentreSample(t, axis.length, axis.sourceStart, axis.sourceLength) << kWeightShift;
      high = low + (1 << kWeightShift);
    }
    low = std::clamp<std::int64_t>(low, 0, end);
    high = std::clamp<std::int64_t>(high, low, end);
    taps.first.push_back(static_cast<std::int32_t>(low >> kWeightShift));
    taps.offset.push_back(static_cast<std::int32_t>(taps.weights.size()));
    taps.total.push_back(high - low);
    std::int32_t count = 0;
    for (std::int64_t i = low >> kWeightShift; i << kWeightShift < high; ++i, ++count) {
      const std::int64_t from = std::max(low, i << kWeightShift);
      const std::int64_t to = std::min(high, (i + 1) << kWeightShift);
      taps.weights.push_back(static_cast<std::int16_t>(to - from));
    }
    taps.count.push_back(count);
  }
  return taps;
}
