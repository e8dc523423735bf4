// Reduced copies of a large bitmap, so that a reducing stretch reads a
// bounded number of pixels instead of the whole bitmap. Copy k holds the
// rounded means of the 2^k x 2^k blocks of the bitmap. Internal to the
// drawing part of the layer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "area_average.h"

// The raster a stretch of sourceWidth x sourceHeight pixels onto width x
// height reads: the finest of the source and its copies that has at most
// kMostPixelsRead pixels, but no copy with fewer pixels than the destination
// along either axis. Copies are made on first use; when they cannot be, or the
// source has no bitmap, the source's own raster. Copies of a bitmap written
// to since they were made are made again.
LevelRaster ReductionSource(HDC source, std::int64_t sourceWidth, std::int64_t sourceHeight,
                            std::int64_t width, std::int64_t height);

// 4 Mpx, 16 MiB: a paint reads them in a few milliseconds. Sources up to this
// size are reduced from themselves, exactly.
constexpr std::size_t kMostPixelsRead = std::size_t{1} << 22;

// Frees a bitmap's copies; DeleteObject calls it before freeing the pixels.
void ReleaseReducedCopies(HBITMAP bitmap);
