// What every renderer shares: the row order the signed height gives, the
// stride of stored rows, unaligned little-endian reads and how stored blue,
// green, red bytes become a COLORREF. Reads never leave the byte span they
// are given: a row the data does not cover is drawn as far as it goes. Each
// row walk tells the memory module where it has got to, so that the pages of
// a mapped file it has read leave the process's memory behind it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "../platform/little_endian.h"
#include "../platform/memory.h"
#include "../platform/win32.h"

// Rows in stored order: bottom-up for a positive height, top-down otherwise.
struct RowOrder {
  std::int32_t first;  // y of the first stored row
  std::int32_t step;   // -1 bottom-up, +1 top-down
  std::uint32_t count;
};

inline RowOrder RowsFromHeight(std::int32_t height) {
  if (height > 0) return {height - 1, -1, static_cast<std::uint32_t>(height)};
  // -2147483648 has no positive counterpart: no rows.
  const std::uint32_t count = 0u - static_cast<std::uint32_t>(height);
  return {0, 1, count > 0x7FFFFFFFu ? 0u : count};
}

// Bytes of pixel data in a stored row, before its fill.
inline std::uint64_t RowBytes(std::uint32_t width, unsigned bitsPerPixel) {
  return (std::uint64_t{width} * bitsPerPixel + 7) / 8;
}

// 0 to 3 fill bytes bring a stored row to a multiple of 4.
inline std::uint64_t FillBytes(std::uint64_t rowBytes) { return (4 - rowBytes % 4) % 4; }

// Stored colours hold blue, green, red in that order.
inline COLORREF ColourFromBgr(const std::uint8_t* p) {
  return static_cast<COLORREF>(p[2]) | static_cast<COLORREF>(p[1]) << 8 | static_cast<COLORREF>(p[0]) << 16;
}

// The colours of a palette's first Count entries, 4-byte (RGBQUAD) or 3-byte
// (RGBTRIPLE), worked out once per image so that a pixel costs one load. An
// entry that does not lie wholly inside the data gives black.
template <unsigned EntrySize, unsigned Count>
class PaletteColours {
  static_assert((Count & (Count - 1)) == 0, "indexes are whole bit fields");

 public:
  explicit PaletteColours(Bytes entries) {
    const std::size_t whole = entries.size() / EntrySize;
    for (std::size_t i = 0; i < Count; ++i) {
      colours_[i] = i < whole ? ColourFromBgr(entries.data() + i * EntrySize) : 0;
    }
  }

  // Masked to the table: a layout's indexes never reach beyond it.
  COLORREF operator[](unsigned index) const { return colours_[index & (Count - 1)]; }

 private:
  std::array<COLORREF, Count> colours_;
};

// Walks the stored rows of a fixed-stride layout in stored order and hands each
// one to drawRow(y, row bytes, pixels in it). The last row the data reaches is
// handed over with the pixels whose bytes it holds whole; nothing after it is.
template <typename DrawRow>
void ForEachStoredRow(Bytes pixels, std::int32_t height, std::uint32_t width, unsigned bitsPerPixel,
                      DrawRow drawRow) {
  const RowOrder rows = RowsFromHeight(height);
  if (width == 0) return;
  const std::uint64_t rowBytes = RowBytes(width, bitsPerPixel);
  const std::uint64_t stride = rowBytes + FillBytes(rowBytes);
  std::uint64_t offset = 0;
  std::int32_t y = rows.first;
  for (std::uint32_t k = 0; k < rows.count; ++k, y += rows.step, offset += stride) {
    if (offset >= pixels.size()) return;
    const std::uint64_t available = pixels.size() - offset;
    const std::uint8_t* row = pixels.data() + offset;
    ReleasePagesBefore(row);
    if (available < rowBytes) {
      drawRow(y, row, static_cast<std::uint32_t>(available * 8 / bitsPerPixel));
      return;
    }
    drawRow(y, row, width);
  }
}
