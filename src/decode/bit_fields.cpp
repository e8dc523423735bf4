// 16-bit and 32-bit pixels whose red, green and blue fields three colour masks
// place. Each mask is cut to its eight most significant set bits once per
// image; per pixel there is only masking and shifting.
#include "raster.h"
#include "renderers.h"

namespace {

struct Channel {
  std::uint32_t mask;  // reduced: at most 8 set bits
  unsigned shift;      // index of its lowest set bit
  unsigned scale;      // 8 - its number of set bits

  // The field's bits moved to the top of a byte; its low bits stay 0.
  std::uint32_t Component(std::uint32_t pixel) const { return ((pixel & mask) >> shift << scale) & 0xFF; }
};

Channel ChannelFromMask(std::uint32_t stored) {
  std::uint32_t mask = stored;
  KeepTop8MaskBits(&mask);
  // A mask without a set bit gives 0 for its component.
  if (mask == 0) return {0, 0, 0};
  unsigned shift = 0;
  while ((mask >> shift & 1) == 0) ++shift;
  return {mask, shift, 8u - static_cast<unsigned>(CountBits(mask))};
}

template <unsigned BytesPerPixel>
void DrawBitfields(HDC surface, Bytes pixels, ColourMasks masks, std::int32_t height, std::uint32_t width) {
  const Channel red = ChannelFromMask(ReadLe32(masks.data()));
  const Channel green = ChannelFromMask(ReadLe32(masks.data() + 4));
  const Channel blue = ChannelFromMask(ReadLe32(masks.data() + 8));
  ForEachStoredRow(pixels, height, width, BytesPerPixel * 8,
                   [&](std::int32_t y, const std::uint8_t* row, std::uint32_t count) {
                     for (std::uint32_t x = 0; x < count; ++x, row += BytesPerPixel) {
                       const std::uint32_t p = BytesPerPixel == 2 ? ReadLe16(row) : ReadLe32(row);
                       const COLORREF colour =
                           red.Component(p) | green.Component(p) << 8 | blue.Component(p) << 16;
                       SetPixel(surface, static_cast<int>(x), y, colour);
                     }
                   });
}

}  // namespace

int CountBits(std::uint32_t x) {
  x = x - ((x >> 1) & 0x55555555u);
  x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
  x = (x + (x >> 4)) & 0x0F0F0F0Fu;
  x = x + (x >> 8);
  x = x + (x >> 16);
  return static_cast<int>(x & 0xFF);
}

void KeepTop8MaskBits(std::uint32_t* mask) {
  int kept = 0;
  for (int bit = 31; bit >= 0; --bit) {
    const std::uint32_t b = std::uint32_t{1} << bit;
    if (kept == 8) {
      *mask &= ~b;
    } else if ((*mask & b) != 0) {
      ++kept;
    }
  }
}

void DrawBitfields16(HDC surface, Bytes pixels, ColourMasks masks, std::int32_t height, std::uint32_t width) {
  DrawBitfields<2>(surface, pixels, masks, height, width);
}

void DrawBitfields32(HDC surface, Bytes pixels, ColourMasks masks, std::int32_t height, std::uint32_t width) {
  DrawBitfields<4>(surface, pixels, masks, height, width);
}
