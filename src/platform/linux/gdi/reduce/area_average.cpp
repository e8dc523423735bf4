// Reducing by area: each destination pixel is the mean of the source area
// it covers, with the partly covered source pixels at its edges weighted by
// the part they contribute. This file holds the way that suits any number of
// source pixels per destination pixel, and chooses between it and the
// 16-bit way for few (area_few_taps.cpp). Separable: per destination row,
// the covered source rows are summed with their weights (SumRows), then each
// destination column sums its run of those sums (AddColumns). Rows sum
// exactly in 32 bits; columns sum in floats, which also divide by the area.
#include <algorithm>
#include <cmath>
#include <vector>

#include "../raster_pixels.h"
#include "area_taps.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Row sums of 255 x 4096 per row stay below 2^31 for this many rows.
constexpr std::size_t kMaxRowsPerSum = 2048;

// Source columns summed at a time, so the sums stay in the cache whatever
// the source's width.
constexpr std::size_t kColumnBlock = 4096;

#ifdef __SSE2__
// Adds bytes 4x to 4x + 15 of rows a and b, times the weights in the low and
// high halves of each word of w, to those bytes' sums.
inline void AddPairAt(const std::uint8_t* a, const std::uint8_t* b, __m128i w, std::size_t x,
                      __m128i sums[4]) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 4 * x));
  const __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 4 * x));
  const __m128i low = _mm_unpacklo_epi8(p, q);  // bytes 4x to 4x + 7, the two rows interleaved
  const __m128i high = _mm_unpackhi_epi8(p, q);
  sums[0] = _mm_add_epi32(sums[0], _mm_madd_epi16(_mm_unpacklo_epi8(low, zero), w));
  sums[1] = _mm_add_epi32(sums[1], _mm_madd_epi16(_mm_unpackhi_epi8(low, zero), w));
  sums[2] = _mm_add_epi32(sums[2], _mm_madd_epi16(_mm_unpacklo_epi8(high, zero), w));
  sums[3] = _mm_add_epi32(sums[3], _mm_madd_epi16(_mm_unpackhi_epi8(high, zero), w));
}

inline void StoreFour(const __m128i sums[4], std::int32_t* out) {
  for (int i = 0; i < 4; ++i) _mm_storeu_si128(reinterpret_cast<__m128i*>(out) + i, sums[i]);
}

// SumRows for kPairs pairs of rows, which stay in registers; returns the
// words done (all but fewer than four).
template <std::size_t kPairs>
std::size_t SumRowPairs(const std::uint8_t* const* rows, const std::int32_t* pairs, std::size_t columns,
                        std::int32_t* sums) {
  const std::uint8_t* a[kPairs];
  const std::uint8_t* b[kPairs];
  __m128i w[kPairs];
  for (std::size_t i = 0; i < kPairs; ++i)
    a[i] = rows[2 * i], b[i] = rows[2 * i + 1], w[i] = _mm_set1_epi32(pairs[i]);
  std::size_t x = 0;
  for (; x + 4 <= columns; x += 4) {
    __m128i four[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
    for (std::size_t i = 0; i < kPairs; ++i) AddPairAt(a[i], b[i], w[i], x, four);
    StoreFour(four, sums + 4 * x);
  }
  return x;
}

std::size_t SumManyRows(const std::uint8_t* const* rows, const std::int32_t* pairs, std::size_t count,
                        std::size_t columns, std::int32_t* sums) {
  std::size_t x = 0;
  for (; x + 4 <= columns; x += 4) {
    __m128i four[4] = {_mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128(), _mm_setzero_si128()};
    for (std::size_t i = 0; i < count; i += 2)
      AddPairAt(rows[i], rows[i + 1], _mm_set1_epi32(pairs[i / 2]), x, four);
    StoreFour(four, sums + 4 * x);
  }
  return x;
}
#endif

// Per byte of the rows' first `words` 4-byte words, the sum of rows[i]'s
// byte x weights[i] over i in [0, count): for a row of 4-byte pixels the four
// channel sums of each column, for one of 3-byte pixels the three of each
// column one after another. pairs holds weights 2i and 2i + 1 as the low and
// high halves of one word; for an odd count rows[count] repeats the last row
// and its weight is 0.
void SumRows(const std::uint8_t* const* rows, const std::int32_t* pairs, std::size_t count, std::size_t words,
             std::int32_t* sums) {
  std::size_t x = 0;
#ifdef __SSE2__
  if (count <= 2) {
    x = SumRowPairs<1>(rows, pairs, words, sums);
  } else if (count <= 4) {
    x = SumRowPairs<2>(rows, pairs, words, sums);
  } else {
    x = SumManyRows(rows, pairs, count, words, sums);
  }
#endif
  for (; x < words; ++x) {
    std::int32_t s[4] = {0, 0, 0, 0};
    for (std::size_t i = 0; i < count; ++i) {
      const std::int32_t w = static_cast<std::int16_t>(pairs[i / 2] >> (i % 2 * 16));
      for (std::size_t c = 0; c < 4; ++c) s[c] += static_cast<std::int32_t>(rows[i][4 * x + c]) * w;
    }
    std::copy(s, s + 4, sums + 4 * x);
  }
}

// Adds the sums of n source columns, stride apart (a column's channels one
// after another; the sums read past a 3-byte column's are not used), each
// times its weight, to a destination pixel's four channel totals.
inline void AddColumns(const std::int32_t* sums, std::size_t stride, const float* weights, std::size_t n,
                       float* totals) {
#ifdef __SSE2__
  __m128 total = _mm_loadu_ps(totals);
  for (std::size_t i = 0; i < n; ++i) {
    const __m128 column =
        _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + stride * i)));
    total = _mm_add_ps(total, _mm_mul_ps(column, _mm_set1_ps(weights[i])));
  }
  _mm_storeu_ps(totals, total);
#else
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t c = 0; c < 3; ++c) totals[c] += static_cast<float>(sums[stride * i + c]) * weights[i];
  }
#endif
}

// The colour of four channel totals times scale, rounded to nearest.
inline COLORREF Pack(const float* totals, float scale) {
#ifdef __SSE2__
  const __m128i values = _mm_cvtps_epi32(_mm_mul_ps(_mm_loadu_ps(totals), _mm_set1_ps(scale)));
  const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(values, values), values);
  return static_cast<COLORREF>(_mm_cvtsi128_si32(bytes)) & 0x00FFFFFF;
#else
  COLORREF colour = 0;
  for (int c = 0; c < 3; ++c) {
    const float value = std::nearbyint(totals[c] * scale);
    colour |= static_cast<COLORREF>(std::clamp(value, 0.0f, 255.0f)) << (8 * c);
  }
  return colour;
#endif
}

// Everything one stretch works out once and reuses for every row: the
// weights, and room for the sums.
struct ReductionPlan {
  const AreaStretch& stretch;
  const SourceRaster& source;
  const Taps& columns;
  const Taps& rows;
  std::vector<float> columnWeights;  // the columns' weights over their totals
  std::vector<std::int32_t> sums, pairs;
  std::vector<const std::uint8_t*> rowPointers;
  std::vector<std::size_t> ends;  // where each destination column's run ends
  std::vector<float> totals;      // four per destination column
};

// The weighted sums of source columns [block, block + width) over the given
// rows, added to the totals of the destination columns that cover them.
void AddBlock(ReductionPlan& plan, std::size_t block, std::size_t width, std::size_t firstRow,
              std::size_t count, std::size_t firstWeight) {
  const SourceRaster& source = plan.source;
  constexpr std::size_t stride = kBytesPerPixel;
  for (std::size_t i = 0; i < count; ++i) plan.rowPointers[i] = source.Row(firstRow + i) + block * stride;
  plan.rowPointers[count] = plan.rowPointers[count - 1];
  for (std::size_t i = 0; i < count; i += 2) {
    const auto low = static_cast<std::uint16_t>(plan.rows.weights[firstWeight + i]);
    const auto high = i + 1 < count ? static_cast<std::uint16_t>(plan.rows.weights[firstWeight + i + 1]) : 0;
    plan.pairs[i / 2] = static_cast<std::int32_t>(low | static_cast<std::uint32_t>(high) << 16);
  }
  SumRows(plan.rowPointers.data(), plan.pairs.data(), count, (width * stride + 3) / 4, plan.sums.data());
  // The destination columns whose runs meet the block: runs only move right.
  const Taps& columns = plan.columns;
  const auto begin =
      static_cast<std::size_t>(std::partition_point(plan.ends.begin(), plan.ends.end(),
                                                    [&](std::size_t end) { return end <= block; }) -
                               plan.ends.begin());
  for (std::size_t k = begin; k < columns.first.size(); ++k) {
    const auto first = static_cast<std::size_t>(columns.first[k]);
    if (first >= block + width) break;
    const std::size_t from = std::max(first, block);
    const std::size_t to = std::min(plan.ends[k], block + width);
    if (from >= to) continue;
    AddColumns(&plan.sums[stride * (from - block)], stride,
               &plan.columnWeights[columns.offset[k] + (from - first)], to - from, &plan.totals[4 * k]);
  }
}

// One destination row: the columns in blocks, the rows in runs, their
// weighted sums gathered in each destination pixel's totals.
void StretchRow(ReductionPlan& plan, std::size_t r, std::size_t columnStart, std::size_t columnEnd) {
  const Taps& rows = plan.rows;
  std::fill(plan.totals.begin(), plan.totals.end(), 0.0f);
  const auto firstRow = static_cast<std::size_t>(rows.first[r]);
  const auto rowCount = static_cast<std::size_t>(rows.count[r]);
  for (std::size_t block = columnStart; block < columnEnd; block += kColumnBlock) {
    const std::size_t width = std::min(kColumnBlock, columnEnd - block);
    for (std::size_t done = 0; done < rowCount; done += kMaxRowsPerSum) {
      AddBlock(plan, block, width, firstRow + done, std::min(kMaxRowsPerSum, rowCount - done),
               static_cast<std::size_t>(rows.offset[r]) + done);
    }
  }
  const AreaStretch& s = plan.stretch;
  std::uint8_t* out = DestinationRow(s, static_cast<std::int64_t>(r));
  const float scale = 1.0f / static_cast<float>(rows.total[r]);
  const PixelLayout layout = s.destination->layout;
  for (std::size_t k = 0; k < plan.columns.first.size(); ++k) {
    if (plan.columns.count[k] != 0) PutPixel(layout, out, k, Pack(&plan.totals[4 * k], scale));
  }
}

}  // namespace

void StretchAnyTaps(const AreaStretch& s, const SourceRaster& source, const Taps& columnTaps,
                    const Taps& rowTaps) {
  ReductionPlan plan{s, source, columnTaps, rowTaps, {}, {}, {}, {}, {}, {}};
  const Taps& columns = plan.columns;
  std::size_t columnStart = SIZE_MAX, columnEnd = 0;
  for (std::size_t k = 0; k < columns.first.size(); ++k) {
    plan.ends.push_back(static_cast<std::size_t>(columns.first[k] + columns.count[k]));
    if (columns.count[k] == 0) continue;
    columnStart = std::min(columnStart, static_cast<std::size_t>(columns.first[k]));
    columnEnd = std::max(columnEnd, static_cast<std::size_t>(columns.first[k] + columns.count[k]));
    for (std::int32_t i = 0; i < columns.count[k]; ++i) {
      plan.columnWeights.push_back(static_cast<float>(columns.weights[columns.offset[k] + i]) /
                                   static_cast<float>(columns.total[k]));
    }
  }
  if (columnStart >= columnEnd) return;
  std::size_t maxRows = 0;
  for (std::int32_t count : plan.rows.count) maxRows = std::max(maxRows, static_cast<std::size_t>(count));
  maxRows = std::min(maxRows, kMaxRowsPerSum);
  plan.sums.resize(4 * kColumnBlock);
  plan.pairs.resize(maxRows / 2 + 1);
  plan.rowPointers.resize(maxRows + 1);
  plan.totals.resize(4 * columns.first.size());
  for (std::size_t r = 0; r < plan.rows.first.size(); ++r) {
    if (plan.rows.count[r] != 0) StretchRow(plan, r, columnStart, columnEnd);
  }
}

void StretchByArea(const AreaStretch& s, const SourceRaster& source) {
  const Taps columns =
      AxisTaps({s.firstColumn, s.lastColumn, s.x, s.width, s.sourceX, s.sourceWidth, source.width});
  const Taps rows =
      AxisTaps({s.firstRow, s.lastRow, s.y, s.height, s.sourceY, s.sourceHeight, source.height});
  if (!StretchFewTaps(s, source, columns, rows)) StretchAnyTaps(s, source, columns, rows);
}
