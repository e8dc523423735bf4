// Checks a decoded image against the picture bmpgen's encoder meant, on a few
// rows, so that no loader in a benchmark can be fast by not decoding.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bitmap_writer.h"

namespace bench {

// Rows to check: the first, the last and a few between.
inline std::vector<std::uint32_t> CheckedRows(std::uint32_t height) {
  return {0, height / 7, height / 3, height / 2, height * 7 / 8 + 1, height - 1};
}

// Components that a layout does not store in full are compared at the bits it
// keeps (other loaders fill the low bits of 16-bit components, ours does not).
inline bmpgen::Colour KeptBits(bmpgen::Layout layout, bmpgen::Colour c) {
  if (layout == bmpgen::Layout::Bitfields16) return c & 0x00F8FCF8;
  if (layout == bmpgen::Layout::Rgb555) return c & 0x00F8F8F8;
  return c;
}

// Compares the checked rows of a width x height image in the layout with the
// test picture; pixelAt(x, y) gives the decoded colour as 0x00BBGGRR. Empty
// when they agree, else the first difference.
template <typename PixelAt>
std::string CheckPixels(bmpgen::Layout layout, std::uint32_t width, std::uint32_t height, PixelAt pixelAt) {
  const bmpgen::Picture picture = bmpgen::TestPicture(width, height);
  std::vector<bmpgen::Colour> row(width);
  for (std::uint32_t y : CheckedRows(height)) {
    if (y >= height) continue;
    picture.drawRow(y, row);
    for (std::uint32_t x = 0; x < width; ++x) {
      const bmpgen::Colour expected = KeptBits(layout, bmpgen::StoredColour(layout, row[x], x, y));
      const bmpgen::Colour actual = KeptBits(layout, pixelAt(x, y));
      if (actual != expected) {
        char text[96];
        std::snprintf(text, sizeof text, "pixel (%u, %u) is %06X, expected %06X", x, y, actual, expected);
        return text;
      }
    }
  }
  return {};
}

}  // namespace bench
