// Layouts whose pixels carry their own colour: 16-bit 5-5-5, 24-bit and
// 32-bit, each a stored blue, green, red (the 16-bit one packed).
#include "raster.h"
#include "renderers.h"

namespace {

// 5-bit components go to the top of their byte; the low three bits stay 0.
inline COLORREF ColourFrom555(std::uint32_t value) {
  const COLORREF red = (value >> 10 & 0x1F) << 3;
  const COLORREF green = (value >> 5 & 0x1F) << 3;
  const COLORREF blue = (value & 0x1F) << 3;
  return red | green << 8 | blue << 16;
}

template <unsigned BytesPerPixel, typename Colour>
void DrawDirect(HDC surface, Bytes pixels, std::int32_t height, std::uint32_t width, Colour colour) {
  ForEachStoredRow(pixels, height, width, BytesPerPixel * 8,
                   [&](std::int32_t y, const std::uint8_t* row, std::uint32_t count) {
                     for (std::uint32_t x = 0; x < count; ++x, row += BytesPerPixel) {
                       SetPixel(surface, static_cast<int>(x), y, colour(row));
                     }
                   });
}

}  // namespace

void DrawRgb555(HDC surface, Bytes pixels, std::int32_t height, std::uint32_t width) {
  DrawDirect<2>(surface, pixels, height, width,
                [](const std::uint8_t* p) { return ColourFrom555(ReadLe16(p)); });
}

void DrawRgb24(HDC surface, Bytes pixels, std::int32_t height, std::uint32_t width) {
  DrawDirect<3>(surface, pixels, height, width, [](const std::uint8_t* p) { return ColourFromBgr(p); });
}

// The fourth byte of a 32-bit pixel is ignored.
void DrawRgb32(HDC surface, Bytes pixels, std::int32_t height, std::uint32_t width) {
  DrawDirect<4>(surface, pixels, height, width, [](const std::uint8_t* p) { return ColourFromBgr(p); });
}
