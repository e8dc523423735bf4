// The pixels of the drawing part's rasters, kBytesPerPixel bytes each (red, green, blue),
// read and written one at a time, and for the averaging loops four at a time.
// Internal to the drawing part of the layer.
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "../gdi.h"

// The block a raster of width x height pixels takes.
inline std::size_t RasterBytes(std::size_t width, std::size_t height) {
  return width * height * kBytesPerPixel + kRasterSlack;
}

inline COLORREF PixelAt(const std::uint8_t* row, std::size_t x) {
  const std::uint8_t* pixel = row + x * kBytesPerPixel;
  return static_cast<COLORREF>(pixel[0]) | static_cast<COLORREF>(pixel[1]) << 8 |
         static_cast<COLORREF>(pixel[2]) << 16;
}

inline void PutPixel(std::uint8_t* row, std::size_t x, COLORREF colour) {
  std::uint8_t* pixel = row + x * kBytesPerPixel;
  pixel[0] = static_cast<std::uint8_t>(colour);
  pixel[1] = static_cast<std::uint8_t>(colour >> 8);
  pixel[2] = static_cast<std::uint8_t>(colour >> 16);
}

// A COLORREF (red in the low byte) as an XRGB pixel (blue in the low byte),
// and back.
inline std::uint32_t SwapRedBlue(COLORREF colour) {
  return (colour & 0x00FF00) | (colour & 0xFF) << 16 | (colour >> 16 & 0xFF);
}

// Fills count pixels from bits on with one colour.
inline void FillPixels(std::uint8_t* bits, std::size_t count, COLORREF colour) {
  for (std::size_t x = 0; x < count; ++x) PutPixel(bits, x, colour);
}

// The pixel at x of a row of bytesPerPixel-byte pixels (3, or 4 for the
// COLORREFs of a reduced copy).
template <std::size_t kPixelBytes>
COLORREF PixelOf(const std::uint8_t* row, std::size_t x) {
  if constexpr (kPixelBytes == 4) {
    return static_cast<COLORREF>(row[4 * x]) | static_cast<COLORREF>(row[4 * x + 1]) << 8 |
           static_cast<COLORREF>(row[4 * x + 2]) << 16;
  } else {
    return PixelAt(row, x);
  }
}

#ifdef __SSE2__
// Pixels x to x + 3 of a row, each in a 32-bit lane laid out as a COLORREF;
// the fourth byte of a lane holds whatever followed the pixel, which no
// colour uses. Reads 16 bytes.
template <std::size_t kPixelBytes>
__m128i LoadFour(const std::uint8_t* row, std::size_t x) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + kPixelBytes * x));
  if constexpr (kPixelBytes == 4) {
    return bytes;
  } else {
    const __m128i second = _mm_srli_si128(bytes, 3);
    const __m128i third = _mm_srli_si128(bytes, 6);
    const __m128i fourth = _mm_srli_si128(bytes, 9);
    return _mm_unpacklo_epi64(_mm_unpacklo_epi32(bytes, second), _mm_unpacklo_epi32(third, fourth));
  }
}
#endif
