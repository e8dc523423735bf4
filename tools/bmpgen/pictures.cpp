// The test picture and the sample picture, drawn one row at a time.
#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace bmpgen {
namespace {

// Columns [first, last) of row y inside a circle; empty when the row misses it.
struct Span {
  std::int64_t first = 0;
  std::int64_t last = 0;
};

Span CircleSpan(std::int64_t cx, std::int64_t cy, std::int64_t radius, std::int64_t y) {
  const std::int64_t dy = y - cy;
  const std::int64_t left = radius * radius - dy * dy;
  if (left < 0) return {};
  auto half = static_cast<std::int64_t>(std::sqrt(static_cast<double>(left)));
  while (half * half > left) --half;
  while ((half + 1) * (half + 1) <= left) ++half;
  return {cx - half, cx + half + 1};
}

void Fill(std::span<Colour> row, std::int64_t first, std::int64_t last, Colour colour) {
  const auto size = static_cast<std::int64_t>(row.size());
  first = std::clamp<std::int64_t>(first, 0, size);
  last = std::clamp<std::int64_t>(last, 0, size);
  for (std::int64_t x = first; x < last; ++x) row[static_cast<std::size_t>(x)] = colour;
}

void Put(std::span<Colour> row, std::int64_t x, Colour colour) {
  if (x >= 0 && x < static_cast<std::int64_t>(row.size())) row[static_cast<std::size_t>(x)] = colour;
}

constexpr Colour kStripes[5] = {MakeColour(255, 0, 0), MakeColour(0, 160, 255), MakeColour(255, 255, 0),
                                MakeColour(0, 0, 0), MakeColour(255, 0, 255)};

}  // namespace

Picture TestPicture(std::uint32_t width, std::uint32_t height) {
  // The red of each column, worked out once for all rows.
  auto reds = std::make_shared<std::vector<std::uint8_t>>(width);
  for (std::uint32_t x = 0; x < width; ++x) {
    (*reds)[x] = static_cast<std::uint8_t>(width > 1 ? std::uint64_t{x} * 255 / (width - 1) : 128);
  }
  const std::int64_t w = width;
  const std::int64_t h = height;
  Picture picture{width, height, nullptr};
  picture.drawRow = [reds, w, h](std::uint32_t y, std::span<Colour> row) {
    const std::int64_t yy = y;
    const unsigned green = h > 1 ? static_cast<unsigned>(yy * 255 / (h - 1)) : 128;
    for (std::int64_t x = 0; x < w; ++x) {
      const unsigned red = (*reds)[static_cast<std::size_t>(x)];
      row[static_cast<std::size_t>(x)] = MakeColour(red, green, 255 - (red + green) / 2);
    }
    if (yy >= h / 2 && yy < h * 7 / 8) Fill(row, w / 8, w * 3 / 8, MakeColour(255, 220, 0));
    const Span circle = CircleSpan(w * 5 / 8, h * 3 / 8, std::min(w, h) / 5, yy);
    Fill(row, circle.first, circle.last, MakeColour(200, 30, 60));
    if (yy >= h * 7 / 8 && yy < h * 15 / 16) {
      for (std::int64_t x = 0; x < w; ++x) row[static_cast<std::size_t>(x)] = kStripes[(x + 2 * yy) % 5];
    }
    if (yy == h / 4) Fill(row, 0, w, MakeColour(255, 255, 255));
    Put(row, w * 3 / 4, MakeColour(0, 0, 0));
    // A diagonal from the top left to the bottom right corner.
    if (h > 0) Put(row, yy * w / h, MakeColour(0, 0, 255));
  };
  return picture;
}

Picture SamplePicture(std::uint32_t width, std::uint32_t height) {
  const double w = width;
  const double h = height;
  Picture picture{width, height, nullptr};
  picture.drawRow = [w, h](std::uint32_t y, std::span<Colour> row) {
    const double v = (y + 0.5) / h;
    const double sunX = 0.68 * w, sunY = 0.42 * h, sunR = 0.09 * h;
    for (std::size_t x = 0; x < row.size(); ++x) {
      const double u = (x + 0.5) / w;
      // Sky: deep blue at the top to warm orange near the horizon.
      const double t = std::min(1.0, v / 0.62);
      double r = 30 + 225 * t * t;
      double g = 40 + 120 * t;
      double b = 110 + 40 * (1 - t) - 60 * t * t;
      // The sun with a soft glow around it.
      const double dx = x + 0.5 - sunX, dy = y + 0.5 - sunY;
      const double d = std::sqrt(dx * dx + dy * dy);
      if (d < sunR) {
        r = 255, g = 236, b = 150;
      } else {
        const double glow = std::exp(-(d - sunR) / (0.12 * h)) * 0.6;
        r += (255 - r) * glow, g += (220 - g) * glow, b += (150 - b) * glow;
      }
      // Two rows of hills, the nearer one darker.
      const double far = 0.62 + 0.06 * std::sin(u * 7.0 + 0.5) + 0.03 * std::sin(u * 17.0);
      const double near = 0.74 + 0.08 * std::sin(u * 4.0 + 2.0) + 0.02 * std::sin(u * 23.0 + 1.0);
      if (v > near) {
        const double depth = (v - near) / (1 - near);
        r = 30 + 20 * depth, g = 90 - 40 * depth, b = 50 - 10 * depth;
      } else if (v > far) {
        r = 70, g = 110, b = 90;
      }
      // Thin lines: a horizon stroke and a fence of posts on the near hill.
      if (std::abs(v - far) < 0.5 / h) r = g = b = 20;
      if (v > near && static_cast<int>(x) % 48 == 24 && v < near + 0.08) r = 240, g = 230, b = 210;
      // A one-pixel frame.
      if (x == 0 || y == 0 || x + 1 == row.size() || y + 1 == static_cast<std::uint32_t>(h)) {
        r = g = b = 250;
      }
      row[x] = MakeColour(static_cast<unsigned>(std::clamp(r, 0.0, 255.0)),
                          static_cast<unsigned>(std::clamp(g, 0.0, 255.0)),
                          static_cast<unsigned>(std::clamp(b, 0.0, 255.0)));
    }
  };
  return picture;
}

}  // namespace bmpgen
