// The pixels of the drawing part's rasters, kBytesPerPixel bytes each (red,
// green, blue), read and written one at a time. Internal to the drawing part
// of the layer.
#pragma once

#include <cstddef>
#include <cstdint>

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

// count pixels of a raster's row as the 32-bit words a display takes:
// COLORREFs (red in the low byte, XBGR8888), or with red and blue swapped
// (blue in the low byte, XRGB8888).
inline void RowToWords(const std::uint8_t* row, std::uint32_t* words, std::size_t count, bool swapRedBlue) {
  for (std::size_t x = 0; x < count; ++x) {
    const COLORREF colour = PixelAt(row, x);
    words[x] = swapRedBlue ? (colour & 0x00FF00) | (colour & 0xFF) << 16 | (colour >> 16 & 0xFF) : colour;
  }
}

// Fills count pixels from bits on with one colour.
inline void FillPixels(std::uint8_t* bits, std::size_t count, COLORREF colour) {
  for (std::size_t x = 0; x < count; ++x) PutPixel(bits, x, colour);
}

// Division that rounds toward minus infinity.
inline std::int64_t FloorDivide(__int128 numerator, __int128 denominator) {
  __int128 quotient = numerator / denominator;
  if (numerator % denominator != 0 && numerator < 0) --quotient;
  return static_cast<std::int64_t>(quotient);
}

// The source position whose pixel lies under the centre of destination
// position t, where a span `length` long shows a source span from
// sourceStart, sourceLength long: sourceStart + floor((t + 1/2) x
// sourceLength / length). In 128 bits: t reaches 2^32 and the lengths 2^31.
inline std::int64_t CentreSample(std::int64_t t, std::int64_t length, std::int64_t sourceStart,
                                 std::int64_t sourceLength) {
  return sourceStart +
         FloorDivide(static_cast<__int128>(2 * t + 1) * sourceLength, 2 * static_cast<__int128>(length));
}
