// Painting on device contexts: solid brushes, rectangles and the stretching
// copy. Pure raster work over the contexts' COLORREF rasters.
#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "../win32.h"

namespace {

constexpr COLORREF kBlack = 0x00000000;

// A reducing stretch samples the centres of up to this many equal parts of the
// span a destination pixel covers, across and down. Columns are cheap (a
// sampled row is in the cache), rows cost memory bandwidth, hence fewer of
// them. Up to these factors every source pixel counts.
constexpr int kMaxSampleColumns = 4;
constexpr int kMaxSampleRows = 2;

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

// Where one axis of a stretch samples its source: for each destination
// position inside the clip, `count` source positions, -1 for one that lies
// outside the source raster. Enlarging takes the one source pixel under the
// destination pixel's centre; reducing takes the centres of `count` equal
// parts of the source span the destination pixel covers.
struct Samples {
  int count;
  std::vector<std::int32_t> positions;
};

Samples SampleAxis(Span clip, int start, int length, int sourceStart, int sourceLength,
                   std::size_t sourceSize, int maxSamples) {
  const std::int64_t ratioCeiling = (std::int64_t{sourceLength} + length - 1) / length;
  Samples samples{static_cast<int>(std::min<std::int64_t>(ratioCeiling, maxSamples)), {}};
  const std::int64_t k = samples.count;
  samples.positions.reserve(static_cast<std::size_t>((clip.last - clip.first) * k));
  for (std::int64_t d = clip.first; d < clip.last; ++d) {
    const std::int64_t t = d - start;
    for (std::int64_t j = 0; j < k; ++j) {
      // The centre of part j of k of the span [t, t + 1) * sourceLength / length,
      // in 128 bits: t reaches 2^32 and sourceLength 2^31.
      const auto offset = static_cast<std::int64_t>(static_cast<__int128>((t * k + j) * 2 + 1) *
                                                    sourceLength / (2 * std::int64_t{length} * k));
      const std::int64_t position = sourceStart + offset;
      const bool inside = position >= 0 && position < static_cast<std::int64_t>(sourceSize);
      samples.positions.push_back(inside ? static_cast<std::int32_t>(position) : -1);
    }
  }
  return samples;
}

// The average of n COLORREFs whose red and blue were summed in rb and whose
// green in g, rounded to nearest. The fixed-point reciprocal is exact for the
// at most kMaxSampleColumns x kMaxSampleRows samples that are summed.
COLORREF Average(std::uint32_t rb, std::uint32_t g, std::uint32_t n) {
  const std::uint32_t inverse = (65536 + n - 1) / n;
  const std::uint32_t half = n / 2;
  const std::uint32_t r = ((rb & 0xFFFF) + half) * inverse >> 16;
  const std::uint32_t b = ((rb >> 16) + half) * inverse >> 16;
  const std::uint32_t green = ((g >> 8) + half) * inverse >> 16;
  return r | green << 8 | b << 16;
}

static_assert(kMaxSampleColumns * kMaxSampleRows <= 16,
              "sums must fit their fields, and the reciprocal be exact");

// The rows [first, last) of the destination where every sample lies inside
// the source raster: kx columns and ky rows a pixel, known when compiled so
// the sums unroll.
struct Stretch {
  HDC destination;
  HDC source;
  Span columns;
  Span rows;
  const Samples* sx;
  const Samples* sy;
};

template <int kx, int ky>
void StretchInside(const Stretch& s) {
  constexpr std::uint32_t n = kx * ky;
  const std::size_t count = static_cast<std::size_t>(s.columns.last - s.columns.first);
  for (std::int64_t d = s.rows.first; d < s.rows.last; ++d) {
    std::uint32_t* out = s.destination->pixels + static_cast<std::size_t>(d) * s.destination->width +
                         static_cast<std::size_t>(s.columns.first);
    const std::int32_t* rowSamples = &s.sy->positions[static_cast<std::size_t>(d - s.rows.first) * ky];
    const std::uint32_t* sourceRows[ky];
    for (int j = 0; j < ky; ++j)
      sourceRows[j] = s.source->pixels + std::size_t(rowSamples[j]) * s.source->width;
    const std::int32_t* columnSamples = s.sx->positions.data();
    for (std::size_t i = 0; i < count; ++i, columnSamples += kx) {
      if constexpr (n == 1) {
        out[i] = sourceRows[0][columnSamples[0]];
      } else {
        std::uint32_t rb = 0, g = 0;
        for (int c = 0; c < kx; ++c) {
          for (int j = 0; j < ky; ++j) {
            const std::uint32_t pixel = sourceRows[j][columnSamples[c]];
            rb += pixel & 0x00FF00FF;
            g += pixel & 0x0000FF00;
          }
        }
        out[i] = Average(rb, g, n);
      }
    }
  }
}

using StretchFunction = void (*)(const Stretch&);

// StretchInside for every pair of sample counts, indexed [kx - 1][ky - 1].
template <int kx, int... ky>
constexpr std::array<StretchFunction, sizeof...(ky)> RowOfStretches(std::integer_sequence<int, ky...>) {
  return {StretchInside<kx, ky + 1>...};
}
template <int... kx>
constexpr auto TableOfStretches(std::integer_sequence<int, kx...>) {
  return std::array{RowOfStretches<kx + 1>(std::make_integer_sequence<int, kMaxSampleRows>{})...};
}
constexpr auto kStretchInside = TableOfStretches(std::make_integer_sequence<int, kMaxSampleColumns>{});

}  // namespace

HBRUSH CreateSolidBrush(COLORREF colour) { return new (std::nothrow) HBRUSH__{GdiKind::Brush, colour}; }

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  if (dc == nullptr) return FALSE;
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (right == left || bottom == top) return TRUE;
  const COLORREF fill = dc->brush != nullptr ? dc->brush->colour : 0x00FFFFFF;
  const std::int64_t lastX = right - 1;
  const std::int64_t lastY = bottom - 1;
  const Span columns = Clip(left, right, dc->width);
  const Span rows = Clip(top, bottom, dc->height);
  if (columns.first == columns.last) return TRUE;
  for (std::int64_t y = rows.first; y < rows.last; ++y) {
    std::uint32_t* row = dc->pixels + static_cast<std::size_t>(y) * dc->width;
    const bool edgeRow = y == top || y == lastY;
    std::fill(row + columns.first, row + columns.last, edgeRow ? kBlack : fill);
    if (columns.first == left) row[columns.first] = kBlack;
    if (columns.last - 1 == lastX) row[lastX] = kBlack;
  }
  return TRUE;
}

BOOL StretchBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop) {
  if (destination == nullptr || source == nullptr || rop != SRCCOPY) return FALSE;
  if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return FALSE;
  const Span columns = Clip(x, std::int64_t{x} + width, destination->width);
  const Span rows = Clip(y, std::int64_t{y} + height, destination->height);
  if (columns.first == columns.last || rows.first == rows.last) return TRUE;
  const Samples sx = SampleAxis(columns, x, width, sourceX, sourceWidth, source->width, kMaxSampleColumns);
  const Samples sy = SampleAxis(rows, y, height, sourceY, sourceHeight, source->height, kMaxSampleRows);
  const bool inside = sourceX >= 0 && sourceY >= 0 &&
                      std::int64_t{sourceX} + sourceWidth <= static_cast<std::int64_t>(source->width) &&
                      std::int64_t{sourceY} + sourceHeight <= static_cast<std::int64_t>(source->height);
  if (inside) {
    kStretchInside[sx.count - 1][sy.count - 1](Stretch{destination, source, columns, rows, &sx, &sy});
    return TRUE;
  }
  // Part of the source rectangle lies outside the source raster: samples
  // there are skipped, and a pixel without any keeps its colour.
  const std::size_t kx = static_cast<std::size_t>(sx.count);
  const std::size_t ky = static_cast<std::size_t>(sy.count);
  const std::size_t count = static_cast<std::size_t>(columns.last - columns.first);
  const std::uint32_t* sourceRows[kMaxSampleRows];

  for (std::int64_t d = rows.first; d < rows.last; ++d) {
    std::uint32_t* out = destination->pixels + static_cast<std::size_t>(d) * destination->width +
                         static_cast<std::size_t>(columns.first);
    const std::int32_t* rowSamples = &sy.positions[static_cast<std::size_t>(d - rows.first) * ky];
    std::size_t validRows = 0;
    for (std::size_t j = 0; j < ky; ++j) {
      if (rowSamples[j] >= 0)
        sourceRows[validRows++] = source->pixels + std::size_t(rowSamples[j]) * source->width;
    }
    if (validRows == 0) continue;
    const std::int32_t* columnSamples = sx.positions.data();
    if (kx == 1 && validRows == 1) {
      // Enlarging, or a reduction to the same size: one pixel each.
      const std::uint32_t* row = sourceRows[0];
      for (std::size_t i = 0; i < count; ++i) {
        if (columnSamples[i] >= 0) out[i] = row[columnSamples[i]];
      }
      continue;
    }
    for (std::size_t i = 0; i < count; ++i, columnSamples += kx) {
      std::uint32_t rb = 0, g = 0, n = 0;
      for (std::size_t c = 0; c < kx; ++c) {
        const std::int32_t column = columnSamples[c];
        if (column < 0) continue;
        for (std::size_t j = 0; j < validRows; ++j) {
          const std::uint32_t pixel = sourceRows[j][column];
          rb += pixel & 0x00FF00FF;
          g += pixel & 0x0000FF00;
        }
        n += static_cast<std::uint32_t>(validRows);
      }
      if (n != 0) out[i] = Average(rb, g, n);
    }
  }
  return TRUE;
}
