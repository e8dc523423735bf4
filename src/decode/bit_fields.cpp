// 16-bit and 32-bit pixels whose red, green and blue fields three colour masks
// place. Each mask is cut to its eight most significant set bits once per
// image, and the colours that each stored byte of a pixel contributes go into
// a table; per pixel there is one load per byte and their OR.
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

// The colours each stored byte of a pixel contributes, one table per byte of
// the value: the colour of a pixel is the OR of its bytes' entries. That is
// exact. Each step of a component (AND with the mask, logical shift right,
// shift left within 32 bits, AND with 0xFF) sends every bit of its input to at
// most one bit of its output, chosen by position alone, and fills the rest
// with 0; with no addition anywhere, no carry passes between bits, so each
// step maps a | b to f(a) | f(b), and so do the components and their join by
// shifts and OR. A pixel value is the OR of its bytes at their places, so its
// colour is the OR of theirs. A field that spans two bytes or a mask with gaps
// makes no difference: every bit lands where the whole value would put it.
// A 16-bit value's upper bytes are 0, whose colour is 0: two tables suffice.
template <unsigned BytesPerPixel>
class ByteColours {
 public:
  ByteColours(const Channel& red, const Channel& green, const Channel& blue) {
    for (unsigned k = 0; k < BytesPerPixel; ++k) {
      for (std::uint32_t b = 0; b < 256; ++b) {
        const std::uint32_t p = b << (8 * k);
        colours_[k][b] = red.Component(p) | green.Component(p) << 8 | blue.Component(p) << 16;
      }
    }
  }

  COLORREF Of(const std::uint8_t* pixel) const {
    COLORREF colour = colours_[0][pixel[0]];
    for (unsigned k = 1; k < BytesPerPixel; ++k) colour |= colours_[k][pixel[k]];
    return colour;
  }

 private:
  COLORREF colours_[BytesPerPixel][256];
};

template <unsigned BytesPerPixel>
void DrawBitfields(HDC surface, Bytes pixels, ColourMasks masks, std::int32_t height, std::uint32_t width) {
  const ByteColours<BytesPerPixel> colours(ChannelFromMask(ReadLe32(masks.data())),
                                           ChannelFromMask(ReadLe32(masks.data() + 4)),
                                           ChannelFromMask(ReadLe32(masks.data() + 8)));
  ForEachStoredRow(pixels, height, width, BytesPerPixel * 8,
                   [&](std::int32_t y, const std::uint8_t* row, std::uint32_t count) {
                     for (std::uint32_t x = 0; x < count; ++x, row += BytesPerPixel) {
                       SetPixel(surface, static_cast<int>(x), y, colours.Of(row));
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
