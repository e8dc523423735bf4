// The pixels of the drawing part's rasters, read and written one at a time:
// a bitmap's of kBytesPerPixel bytes (red, green, blue), a window's of 4 in
// its display's order (PixelLayout). Internal to the drawing part of the
// layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../gdi.h"

// The block a bitmap's raster of width x height pixels takes.
inline std::size_t RasterBytes(std::size_t width, std::size_t height) {
  return width * height * kBytesPerPixel + kRasterSlack;
}

inline std::size_t BytesPerPixel(PixelLayout layout) {
  return layout == PixelLayout::kRgb ? kBytesPerPixel : 4;
}

// A COLORREF (red in the low byte) as a window's word (blue in the low byte),
// and back.
inline std::uint32_t SwapRedBlue(std::uint32_t colour) {
  return (colour & 0x00FF00) | (colour & 0xFF) << 16 | (colour >> 16 & 0xFF);
}

inline COLORREF PixelAt(const std::uint8_t* row, std::size_t x) {
  const std::uint8_t* pixel = row + x * kBytesPerPixel;
  return static_cast<COLORREF>(pixel[0]) | static_cast<COLORREF>(pixel[1]) << 8 |
         static_cast<COLORREF>(pixel[2]) << 16;
}

inline COLORREF PixelAt(PixelLayout layout, const std::uint8_t* row, std::size_t x) {
  if (layout == PixelLayout::kRgb) return PixelAt(row, x);
  std::uint32_t word;
  std::memcpy(&word, row + 4 * x, sizeof word);
  return SwapRedBlue(word) & 0x00FFFFFF;
}

inline void PutPixel(std::uint8_t* row, std::size_t x, COLORREF colour) {
  std::uint8_t* pixel = row + x * kBytesPerPixel;
  pixel[0] = static_cast<std::uint8_t>(colour);
  pixel[1] = static_cast<std::uint8_t>(colour >> 8);
  pixel[2] = static_cast<std::uint8_t>(colour >> 16);
}

inline void PutPixel(PixelLayout layout, std::uint8_t* row, std::size_t x, COLORREF colour) {
  if (layout == PixelLayout::kRgb) return PutPixel(row, x, colour);
  const std::uint32_t word = SwapRedBlue(colour);
  std::memcpy(row + 4 * x, &word, sizeof word);
}

// The context's row y.
inline std::uint8_t* RowOf(HDC dc, std::size_t y) { return dc->bits + y * dc->stride; }

// Fills count pixels from bits on with one colour.
inline void FillPixels(PixelLayout layout, std::uint8_t* bits, std::size_t count, COLORREF colour) {
  for (std::size_t x = 0; x < count; ++x) PutPixel(layout, bits, x, colour);
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
