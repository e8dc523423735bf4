// The reducing half of StretchBlt: every destination pixel becomes the mean
// of the source area it covers, partly covered source pixels counted by the
// part they contribute. Internal to the drawing part of the layer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../../../win32.h"

// The raster a stretch reads: a memory context's bitmap, kBytesPerPixel bytes
// a pixel.
struct SourceRaster {
  const std::uint8_t* pixels;
  std::size_t width, height;

  const std::uint8_t* Row(std::size_t y) const { return pixels + y * width * kBytesPerPixel; }
};

inline SourceRaster RasterOf(HDC source) { return {source->bits, source->width, source->height}; }

// One stretch: the destination rectangle, the part of it inside the
// destination raster ([firstColumn, lastColumn) x [firstRow, lastRow)), and
// the source rectangle in the source's own pixels.
struct AreaStretch {
  HDC destination;
  std::int64_t x, y, width, height;
  std::int64_t firstColumn, lastColumn, firstRow, lastRow;
  std::int64_t sourceX, sourceY, sourceWidth, sourceHeight;
};

// The visible part of the destination's row r of the stretch (counted from
// firstRow), from its first visible column.
inline std::uint8_t* DestinationRow(const AreaStretch& s, std::int64_t r) {
  const HDC out = s.destination;
  return out->bits + static_cast<std::size_t>(s.firstRow + r) * out->stride +
         static_cast<std::size_t>(s.firstColumn) * (out->layout == PixelLayout::kRgb ? kBytesPerPixel : 4);
}

// Along an axis where the source is longer than the destination the covered
// span is averaged; along one where it is not, the pixel under the
// destination pixel's centre is taken. Source pixels outside
// the source raster do not count; a destination pixel that covers none keeps
// its colour.
void StretchByArea(const AreaStretch& stretch, const SourceRaster& source);
