// Uncompressed palette layouts of 1, 4 and 8 bits per pixel. A 1-bit image is
// black and white whatever its palette says; 4-bit and 8-bit indexes select
// 4-byte entries after an info header and 3-byte entries after a core header,
// read wherever they lie in the file body.
#include "raster.h"
#include "renderers.h"

namespace {

template <unsigned BitsPerPixel, typename Colour>
void DrawPacked(HDC surface, Bytes pixels, std::int32_t height, std::uint32_t width, Colour colour) {
  constexpr unsigned kPerByte = 8 / BitsPerPixel;
  constexpr unsigned kValueMask = (1u << BitsPerPixel) - 1;
  ForEachStoredRow(pixels, height, width, BitsPerPixel,
                   [&](std::int32_t y, const std::uint8_t* row, std::uint32_t count) {
                     // Values lie most significant first within each byte.
                     for (std::uint32_t x = 0; x < count; ++x) {
                       const unsigned shift = 8 - BitsPerPixel * (x % kPerByte + 1);
                       const unsigned value = row[x / kPerByte] >> shift & kValueMask;
                       SetPixel(surface, static_cast<int>(x), y, colour(value));
                     }
                   });
}

template <unsigned BitsPerPixel, unsigned EntrySize>
void DrawThroughPalette(HDC surface, Bytes pixels, Bytes palette, std::int32_t height, std::uint32_t width) {
  const Palette<EntrySize> entries(palette);
  DrawPacked<BitsPerPixel>(surface, pixels, height, width, [&](unsigned index) { return entries[index]; });
}

}  // namespace

void DrawMono1(HDC surface, Bytes pixels, std::int32_t height, std::uint32_t width) {
  DrawPacked<1>(surface, pixels, height, width,
                [](unsigned bit) { return bit != 0 ? RGB(255, 255, 255) : RGB(0, 0, 0); });
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
