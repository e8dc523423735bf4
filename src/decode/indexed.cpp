// Uncompressed palette layouts of 1, 4 and 8 bits per pixel. A 1-bit image is
// black and white whatever its palette says; 4-bit and 8-bit indexes select
// 4-byte entries after an info header and 3-byte entries after a core header,
// read wherever they lie in the file body.
#include "raster.h"
#include "renderers.h"

namespace {

// Walks each row one stored byte at a time and colours its values, most
// significant first, through colours[value], worked out before the first row:
// a pixel costs a shift, a mask and a look-up, not a palette read.
template <unsigned BitsPerPixel, typename Colours>
void DrawPacked(HDC surface, Bytes pixels, std::int32_t height, std::uint32_t width, const Colours& colours) {
  constexpr unsigned kPerByte = 8 / BitsPerPixel;
  constexpr unsigned kValueMask = (1u << BitsPerPixel) - 1;
  ForEachStoredRow(pixels, height, width, BitsPerPixel,
                   [&](std::int32_t y, const std::uint8_t* row, std::uint32_t count) {
                     const std::uint32_t whole = count - count % kPerByte;
                     std::uint32_t x = 0;
                     while (x < whole) {
                       const unsigned byte = *row++;
                       for (unsigned k = 1; k <= kPerByte; ++k, ++x) {
                         const unsigned value = byte >> (8 - BitsPerPixel * k) & kValueMask;
                         SetPixel(surface, static_cast<int>(x), y, colours[value]);
                       }
                     }
                     // The row's last byte when the width ends inside it; its
                     // bits beyond the width play no part.
                     if (x < count) {
                       const unsigned byte = *row;
                       for (unsigned k = 1; x < count; ++k, ++x) {
                         const unsigned value = byte >> (8 - BitsPerPixel * k) & kValueMask;
                         SetPixel(surface, static_cast<int>(x), y, colours[value]);
                       }
                     }
                   });
}

// The two colours of a 1-bit image, whatever its palette says: a set bit is
// white, a clear one black, chosen by the bit alone.
struct BlackAndWhite {
  COLORREF operator[](unsigned bit) const { return bit != 0 ? RGB(255, 255, 255) : RGB(0, 0, 0); }
};

template <unsigned BitsPerPixel, unsigned EntrySize>
void DrawThroughPalette(HDC surface, Bytes pixels, Bytes palette, std::int32_t height, std::uint32_t width) {
  const PaletteColours<EntrySize, 1u << BitsPerPixel> colours(palette);
  DrawPacked<BitsPerPixel>(surface, pixels, height, width, colours);
}

}  // namespace

void DrawMono1(HDC surface, Bytes pixels, std::int32_t height, std::uint32_t width) {
  DrawPacked<1>(surface, pixels, height, width, BlackAndWhite{});
}

void DrawIndexed4(HDC surface, Bytes pixels, Bytes palette, std::int32_t height, std::uint32_t width) {
  DrawThroughPalette<4, 4>(surface, pixels, palette, height, width);
}

void DrawIndexed4Core(HDC surface, Bytes pixels, Bytes palette, std::int32_t height, std::uint32_t width) {
  DrawThroughPalette<4, 3>(surface, pixels, palette, height, width);
}

void DrawIndexed8(HDC surface, Bytes pixels, Bytes palette, std::int32_t height, std::uint32_t width) {
  DrawThroughPalette<8, 4>(surface, pixels, palette, height, width);
}

void DrawIndexed8Core(HDC surface, Bytes pixels, Bytes palette, std::int32_t height, std::uint32_t width) {
  DrawThroughPalette<8, 3>(surface, pixels, palette, height, width);
}
