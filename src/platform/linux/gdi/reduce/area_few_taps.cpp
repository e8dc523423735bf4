// Averaging where few source pixels meet in a destination pixel: at most
// four rows and four columns, as when a picture is shown at more than a
// quarter of its size (a photograph in an ordinary window). All in 16-bit
// lanes, keeping the high half of each product: per destination row the
// covered source rows, each channel times 256, are summed with weights that
// add up to 65536 (so a sum is 256 times a mean and never overflows); then
// two destination pixels at a time take their columns' sums with weights
// that add up to 32768: 128 times the mean, rounded at the end. What the
// halves cut off is under a 64th of a step.
#include <algorithm>
#include <vector>

#include "../raster_pixels.h"
#include "area_taps.h"

#ifdef __SSE2__
#include <emmintrin.h>

namespace {

constexpr std::size_t kMostTaps = 4;

// The weights of one run scaled so they add up to `sum` exactly, each within
// one unit of its share: rounded down, then the largest remainders rounded
// up. None above `most`.
void Normalise(const Taps& taps, std::size_t position, std::uint32_t sum, std::uint32_t most,
               std::uint16_t* out) {
  const auto count = static_cast<std::size_t>(taps.count[position]);
  const std::int16_t* weights = &taps.weights[static_cast<std::size_t>(taps.offset[position])];
  const std::int64_t total = taps.total[position];
  std::int64_t scaled[kMostTaps], remainders[kMostTaps];
  std::int64_t given = 0;
  for (std::size_t i = 0; i < count; ++i) {
    scaled[i] = std::int64_t{weights[i]} * sum / total;
    remainders[i] = std::int64_t{weights[i]} * sum % total;
    given += scaled[i];
  }
  for (; given < sum; ++given) {
    const std::size_t largest =
        static_cast<std::size_t>(std::max_element(remainders, remainders + count) - remainders);
    ++scaled[largest];
    remainders[largest] = -1;
  }
  for (std::size_t i = 0; i < count; ++i)
    out[i] = static_cast<std::uint16_t>(std::min<std::int64_t>(scaled[i], most));
}

// Per byte of the rows' first `words` 4-byte words (a channel of a column:
// four a column for 4-byte pixels, three for 3-byte ones): a 16-bit sum, 256
// times the byte times the row's weight (out of 65536), the high half of the
// product kept.
template <std::size_t kRows>
void SumRows(const std::uint8_t* const* rows, const std::uint16_t* weights, std::size_t words,
             std::uint16_t* sums) {
  const __m128i zero = _mm_setzero_si128();
  __m128i w[kRows];
  for (std::size_t i = 0; i < kRows; ++i) w[i] = _mm_set1_epi16(static_cast<short>(weights[i]));
  std::size_t x = 0;
  for (; x + 4 <= words; x += 4) {
    __m128i low = zero, high = zero;
    for (std::size_t i = 0; i < kRows; ++i) {
      const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[i] + 4 * x));
      if (kRows == 1) {  // the one row weighs all: taken as it is
        low = _mm_unpacklo_epi8(zero, pixels);
        high = _mm_unpackhi_epi8(zero, pixels);
      } else {
        low = _mm_add_epi16(low, _mm_mulhi_epu16(_mm_unpacklo_epi8(zero, pixels), w[i]));
        high = _mm_add_epi16(high, _mm_mulhi_epu16(_mm_unpackhi_epi8(zero, pixels), w[i]));
      }
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 4 * x), low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + 4 * x + 8), high);
  }
  for (; x < words; ++x) {
    for (std::size_t c = 0; c < 4; ++c) {
      std::uint32_t sum = 0;
      for (std::size_t i = 0; i < kRows; ++i) {
        const std::uint32_t channel = std::uint32_t{rows[i][4 * x + c]} << 8;
        sum += kRows == 1 ? channel : channel * weights[i] >> 16;
      }
      sums[4 * x + c] = static_cast<std::uint16_t>(sum);
    }
  }
}

using SumRowsFunction = void (*)(const std::uint8_t* const*, const std::uint16_t*, std::size_t,
                                 std::uint16_t*);
constexpr SumRowsFunction kSumRows[kMostTaps] = {SumRows<1>, SumRows<2>, SumRows<3>, SumRows<4>};

// Two destination pixels at a time, each from kTaps columns' sums: where the
// sums of each tap start (in 16-bit units, the pair's two pixels one after
// the other) and eight weights per tap (four for each pixel's channels).
struct ColumnPairWeights {
  std::vector<std::uint32_t> starts;
  std::vector<std::uint16_t> weights;
};

ColumnPairWeights MakePairs(const Taps& columns, std::size_t taps, std::size_t columnStart,
                            std::size_t stride) {
  ColumnPairWeights pairs;
  const std::size_t count = columns.first.size();
  for (std::size_t k = 0; k < count; k += 2) {
    std::uint16_t weights[2][kMostTaps] = {};
    for (std::size_t half = 0; half < 2; ++half) {
      const std::size_t position = std::min(k + half, count - 1);
      Normalise(columns, position, 32768, 32768, weights[half]);
      const auto length = static_cast<std::size_t>(columns.count[position]);
      const std::size_t first = static_cast<std::size_t>(columns.first[position]) - columnStart;
      for (std::size_t t = 0; t < taps; ++t)
        pairs.starts.push_back(static_cast<std::uint32_t>(stride * (first + std::min(t, length - 1))));
    }
    for (std::size_t t = 0; t < taps; ++t) {
      pairs.weights.insert(pairs.weights.end(), 4, weights[0][t]);
      pairs.weights.insert(pairs.weights.end(), 4, weights[1][t]);
    }
  }
  return pairs;
}

template <std::size_t kTaps, PixelLayout kLayout>
void AverageColumns(const std::uint16_t* sums, const ColumnPairWeights& pairs, std::size_t count,
                    std::uint8_t* out) {
  // Half a step, and half a unit for each product's cut-off part.
  const __m128i half = _mm_set1_epi16(64 + kTaps / 2);
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
  const std::uint32_t* starts = pairs.starts.data();
  const std::uint16_t* weights = pairs.weights.data();
  for (std::size_t k = 0; k < count; k += 2, starts += 2 * kTaps, weights += 8 * kTaps) {
    __m128i total = _mm_setzero_si128();
    for (std::size_t t = 0; t < kTaps; ++t) {
      const __m128i first = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums + starts[t]));
      const __m128i second = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums + starts[kTaps + t]));
      const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 8 * t));
      total = _mm_add_epi16(total, _mm_mulhi_epu16(_mm_unpacklo_epi64(first, second), w));
    }
    const __m128i means = _mm_srli_epi16(_mm_add_epi16(total, half), 7);
    const __m128i packed = _mm_and_si128(_mm_packus_epi16(means, means), colour);
    PutPixel(kLayout, out, k, static_cast<COLORREF>(_mm_cvtsi128_si32(packed)));
    if (k + 1 < count)
      PutPixel(kLayout, out, k + 1, static_cast<COLORREF>(_mm_cvtsi128_si32(_mm_srli_si128(packed, 4))));
  }
}

using AverageFunction = void (*)(const std::uint16_t*, const ColumnPairWeights&, std::size_t, std::uint8_t*);
// By the destination's layout (a bitmap's, a window's), then the taps.
constexpr AverageFunction kAverage[2][kMostTaps] = {
    {AverageColumns<1, PixelLayout::kRgb>, AverageColumns<2, PixelLayout::kRgb>,
     AverageColumns<3, PixelLayout::kRgb>, AverageColumns<4, PixelLayout::kRgb>},
    {AverageColumns<1, PixelLayout::kXrgb>, AverageColumns<2, PixelLayout::kXrgb>,
     AverageColumns<3, PixelLayout::kXrgb>, AverageColumns<4, PixelLayout::kXrgb>}};

std::size_t MostTaps(const Taps& taps) {
  std::int32_t most = 0;
  for (std::int32_t count : taps.count) most = std::max(most, count);
  return static_cast<std::size_t>(most);
}

}  // namespace

bool StretchFewTaps(const AreaStretch& s, const SourceRaster& source, const Taps& columns, const Taps& rows) {
  const std::size_t taps = MostTaps(columns);
  if (taps > kMostTaps || MostTaps(rows) > kMostTaps) return false;
  if (std::find(columns.count.begin(), columns.count.end(), 0) != columns.count.end()) return false;
  const auto columnStart = static_cast<std::size_t>(columns.first.front());
  const auto width = static_cast<std::size_t>(columns.first.back() + columns.count.back()) - columnStart;
  constexpr std::size_t stride = kBytesPerPixel;
  const ColumnPairWeights pairs = MakePairs(columns, taps, columnStart, stride);
  const std::size_t words = (width * stride + 3) / 4;
  std::vector<std::uint16_t> sums(4 * words + 4);
  for (std::size_t r = 0; r < rows.first.size(); ++r) {
    const auto count = static_cast<std::size_t>(rows.count[r]);
    if (count == 0) continue;
    const std::uint8_t* rowPointers[kMostTaps];
    for (std::size_t i = 0; i < count; ++i)
      rowPointers[i] = source.Row(static_cast<std::size_t>(rows.first[r]) + i) + columnStart * stride;
    std::uint16_t weights[kMostTaps];
    Normalise(rows, r, 65536, 65535, weights);
    kSumRows[count - 1](rowPointers, weights, words, sums.data());
    kAverage[s.destination->layout == PixelLayout::kXrgb][taps - 1](
        sums.data(), pairs, columns.first.size(), DestinationRow(s, static_cast<std::int64_t>(r)));
  }
  return true;
}

#else

bool StretchFewTaps(const AreaStretch&, const SourceRaster&, const Taps&, const Taps&) { return false; }

#endif
