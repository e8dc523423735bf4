// Painting on device contexts: solid brushes, rectangles and the stretching
// copy. Pure raster work over the contexts' rasters. Enlarging, and reducing
// while a window is being resized, take the source pixel under each
// destination pixel's centre; reducing otherwise is the area average
// (reduce/), kept for large bitmaps (exact_reduction.cpp).
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "../../win32.h"
#include "raster_pixels.h"
#include "reduce/area_average.h"
#include "reduce/exact_reduction.h"

namespace {

constexpr COLORREF kBlack = 0x00000000;

// Bitmaps above this many pixels keep their exact reduction, and are sampled
// while a window is being resized: reading all of them costs a paint more
// than a resize step can wait for.
constexpr std::size_t kLargeBitmapPixels = std::size_t{1} << 22;

// The part [first, last) of the span [start, end) of one axis that lies
// inside a raster of the given size, in 64-bit arithmetic so nothing overflows.
struct Span {
  std::int64_t first, last;
};

Span Clip(std::int64_t start, std::int64_t end, std::size_t size) {
  const std::int64_t first = std::max<std::int64_t>(start, 0);
  const std::int64_t last = std::min<std::int64_t>(end, static_cast<std::int64_t>(size));
  return {first, std::max(first, last)};
}

// Where one axis of a sampling stretch reads its source: for each
// destination position inside the clip, the source pixel under the
// destination pixel's centre, -1 for one outside the source raster.
std::vector<std::int32_t> SampleAxis(Span clip, int start, int length, int sourceStart, int sourceLength,
                                     std::size_t sourceSize) {
  std::vector<std::int32_t> positions;
  positions.reserve(static_cast<std::size_t>(clip.last - clip.first));
  for (std::int64_t d = clip.first; d < clip.last; ++d) {
    const std::int64_t position = CentreSample(d - start, length, sourceStart, sourceLength);
    const bool inside = position >= 0 && position < static_cast<std::int64_t>(sourceSize);
    positions.push_back(inside ? static_cast<std::int32_t>(position) : -1);
  }
  return positions;
}

// One source pixel per destination pixel; a destination pixel whose source
// pixel lies outside the source raster keeps its colour.
void StretchBySampling(HDC destination, Span columns, Span rows, const std::vector<std::int32_t>& sx,
                       const std::vector<std::int32_t>& sy, HDC source) {
  const std::size_t count = static_cast<std::size_t>(columns.last - columns.first);
  const bool allColumnsInside = std::find(sx.begin(), sx.end(), -1) == sx.end();
  for (std::int64_t d = rows.first; d < rows.last; ++d) {
    const std::int32_t sourceRow = sy[static_cast<std::size_t>(d - rows.first)];
    if (sourceRow < 0) continue;
    std::uint8_t* out = RowOf(destination, static_cast<std::size_t>(d)) +
                        static_cast<std::size_t>(columns.first) * BytesPerPixel(destination->layout);
    const std::uint8_t* row = RowOf(source, static_cast<std::size_t>(sourceRow));
    if (destination->layout == PixelLayout::kXrgb) {
      for (std::size_t i = 0; i < count; ++i) {
        if (sx[i] >= 0) PutPixel(PixelLayout::kXrgb, out, i, PixelAt(row, static_cast<std::size_t>(sx[i])));
      }
    } else if (allColumnsInside) {
      for (std::size_t i = 0; i < count; ++i)
        std::memcpy(out + i * kBytesPerPixel, row + sx[i] * kBytesPerPixel, kBytesPerPixel);
    } else {
      for (std::size_t i = 0; i < count; ++i) {
        if (sx[i] >= 0) std::memcpy(out + i * kBytesPerPixel, row + sx[i] * kBytesPerPixel, kBytesPerPixel);
      }
    }
  }
}

}  // namespace

HBRUSH CreateSolidBrush(COLORREF colour) { return new (std::nothrow) HBRUSH__{GdiKind::Brush, colour}; }

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  if (dc == nullptr) return FALSE;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (right == left || bottom == top) return TRUE;
  dc->written = true;
  const COLORREF fill = dc->brush != nullptr ? dc->brush->colour : 0x00FFFFFF;
  const std::int64_t lastX = right - 1;
  const std::int64_t lastY = bottom - 1;
  const Span columns = Clip(left, right, dc->width);
  const Span rows = Clip(top, bottom, dc->height);
  if (columns.first == columns.last) return TRUE;
  // One row of the fill and one of the outline, copied onto every row.
  const auto width = static_cast<std::size_t>(columns.last - columns.first);
  const PixelLayout layout = dc->layout;
  const std::size_t bytes = BytesPerPixel(layout);
  std::vector<std::uint8_t> inside(width * bytes), edge(width * bytes);
  FillPixels(layout, inside.data(), width, fill);
  FillPixels(layout, edge.data(), width, kBlack);
  if (columns.first == left) PutPixel(layout, inside.data(), 0, kBlack);
  if (columns.last - 1 == lastX) PutPixel(layout, inside.data(), width - 1, kBlack);
  for (std::int64_t y = rows.first; y < rows.last; ++y) {
    const std::vector<std::uint8_t>& pattern = y == top || y == lastY ? edge : inside;
    std::memcpy(RowOf(dc, static_cast<std::size_t>(y)) + static_cast<std::size_t>(columns.first) * bytes,
                pattern.data(), pattern.size());
  }
  return TRUE;
}

BOOL StretchBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop) {
  // The source is a bitmap's raster, as every stretch the viewer makes.
  if (destination == nullptr || source == nullptr || rop != SRCCOPY || source->layout != PixelLayout::kRgb)
    return FALSE;
  if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return FALSE;
  destination->written = true;
  const Span columns = Clip(x, std::int64_t{x} + width, destination->width);
  const Span rows = Clip(y, std::int64_t{y} + height, destination->height);
  if (columns.first == columns.last || rows.first == rows.last) return TRUE;
  const auto sample = [&] {
    StretchBySampling(destination, columns, rows,
                      SampleAxis(columns, x, width, sourceX, sourceWidth, source->width),
                      SampleAxis(rows, y, height, sourceY, sourceHeight, source->height), source);
  };
  if (sourceWidth <= width && sourceHeight <= height) {
    sample();
    return TRUE;
  }
  const AreaStretch stretch{destination,  x,          y,         width,   height,  columns.first,
                            columns.last, rows.first, rows.last, sourceX, sourceY, sourceWidth,
                            sourceHeight};
  const HBITMAP bitmap = source->bitmap;
  const bool large = bitmap != nullptr && bitmap->bits == source->bits &&
                     source->width * source->height > kLargeBitmapPixels;
  if (!large) {
    StretchByArea(stretch, RasterOf(source));
  } else if (CopyKeptReduction(stretch, source)) {
    // the same picture as last time
  } else if (destination->quick && HasKeptReduction(*bitmap)) {
    sample();
    destination->approximated = true;
  } else {
    ReduceAndKeep(stretch, source);
  }
  return TRUE;
}
