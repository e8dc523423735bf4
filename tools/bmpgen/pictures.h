// The pictures the generator draws. A picture hands out its rows one at a
// time, top row first, so that very large images never exist whole in memory.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace bmpgen {

// A colour as 0x00BBGGRR: red in the low byte.
using Colour = std::uint32_t;

constexpr Colour MakeColour(unsigned red, unsigned green, unsigned blue) {
  return (red & 0xFF) | (green & 0xFF) << 8 | (blue & 0xFF) << 16;
}
constexpr unsigned RedOf(Colour c) { return c & 0xFF; }
constexpr unsigned GreenOf(Colour c) { return c >> 8 & 0xFF; }
constexpr unsigned BlueOf(Colour c) { return c >> 16 & 0xFF; }

struct Picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // Fills row (width colours) with picture row y, 0 being the top row.
  std::function<void(std::uint32_t y, std::span<Colour> row)> drawRow;
};

// The test picture: a red gradient left to right, a green one top to bottom,
// a filled rectangle and circle, one-pixel white, black and blue lines, and a
// band of five-colour stripes near the bottom. Flipped rows, swapped channels
// or a wrong stride all show; the flat areas give run-length encoding runs and
// the stripes give it pixels that do not repeat.
Picture TestPicture(std::uint32_t width, std::uint32_t height);

// The sample the viewer opens: an evening sky over hills, with a sun and a few
// thin lines.
Picture SamplePicture(std::uint32_t width, std::uint32_t height);

}  // namespace bmpgen
