// What every renderer shares: the row order the signed height gives, the
// stride of stored rows, unaligned little-endian reads and how stored blue,
// green, red bytes become a COLORREF. Reads never leave the byte span they
// are given: a row the data does not cover is drawn as far as it goes.
#pragma once

#include <cstdint>

#include "../platform/little_endian.h"
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

// A palette of 4-byte (RGBQUAD) or 3-byte (RGBTRIPLE) entries. An entry that
// does not lie wholly inside the data gives black.
template <unsigned EntrySize>
class Palette {
 public:
  explicit Palette(Bytes entries) : entries_(entries), count_(entries.size() / EntrySize) {}

  COLORREF operator[](std::uint32_t index) const {
    return index < count_ ? ColourFromBgr(entries_.data() + std::size_t{index} * EntrySize) : 0;
  }

 private:
  Bytes entries_;
  std::size_t count_;
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
    if (available < rowBytes) {
      drawRow(y, row, static_cast<std::uint32_t>(available * 8 / bitsPerPixel));
      return;
    }
    drawRow(y, row, width);
  }
}
