// The reducing half of StretchBlt: every destination pixel becomes the mean
// of the source area it covers, partly covered source pixels counted by the
// part they contribute. Internal to the drawing part of the layer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../../../win32.h"

// A raster to read from: the source itself (level 0, kBytesPerPixel bytes a pixel) or one
// of its reduced copies (COLORREFs, 4 bytes), whose pixels are the means of
// 2^level x 2^level blocks of the source. fullWidth and fullHeight are the
// source's own size: the last column and row of a copy may stand for less
// than a whole block.
struct LevelRaster {
  const std::uint8_t* pixels;
  std::size_t width, height;
  int level;
  std::size_t fullWidth, fullHeight;
  std::size_t pixelBytes;

  const std::uint8_t* Row(std::size_t y) const { return pixels + y * width * pixelBytes; }
};

// The source context's own raster, as level 0.
inline LevelRaster OwnRaster(HDC source) {
  return {source->bits, source->width, source->height, 0, source->width, source->height, kBytesPerPixel};
}

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
  const auto row = static_cast<std::size_t>(s.firstRow + r);
  return s.destination->bits +
         (row * s.destination->width + static_cast<std::size_t>(s.firstColumn)) * kBytesPerPixel;
}

// Along an axis where the source is longer than the destination the covered
// span is averaged; along one where it is not, the pixel under the
// destination pixel's centre is taken (level 0 only). Source pixels outside
// the source raster do not count; a destination pixel that covers none keeps
// its colour.
void StretchByArea(const AreaStretch& stretch, const LevelRaster& source);
