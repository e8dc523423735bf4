// Drawing straight into a surface without the loader, a palette whose every
// entry has a colour of its own, and small expected rasters written as text.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>

#include "bmp_builder.h"
#include "loaded_image.h"

// A colour no test palette entry has and no renderer writes by itself: what an
// unwritten canvas pixel holds.
constexpr COLORREF kUnwritten = 0x00ABCDEF;

// The colour of entry i of TestPalette: blue i, green 0x5A, red 0xC3.
constexpr COLORREF IndexColour(unsigned index) { return 0xC3u | 0x5Au << 8 | (index & 0xFFu) << 16; }

// entries palette entries of entrySize bytes (4: blue, green, red, 0x7F; 3:
// blue, green, red), entry i of colour IndexColour(i).
inline ByteVector TestPalette(unsigned entries, unsigned entrySize) {
  ByteVector palette;
  for (unsigned i = 0; i < entries; ++i) {
    palette.insert(palette.end(), {static_cast<std::uint8_t>(i), 0x5A, 0xC3});
    if (entrySize == 4) palette.push_back(0x7F);
  }
  return palette;
}

inline Raster RasterOf(HDC dc) {
  Raster raster;
  for (std::size_t y = 0; y < dc->height; ++y) {
    raster.emplace_back();
    for (std::size_t x = 0; x < dc->width; ++x) {
      raster.back().push_back(GetPixel(dc, static_cast<int>(x), static_cast<int>(y)));
    }
  }
  return raster;
}

// A surface of the given size whose pixels all start as kUnwritten.
class Canvas {
 public:
  Canvas(int width, int height)
      : screen_(GetDC(nullptr)),
        dc_(CreateCompatibleDC(screen_)),
        bitmap_(CreateCompatibleBitmap(screen_, width, height)) {
    SelectObject(dc_, bitmap_);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) SetPixel(dc_, x, y, kUnwritten);
    }
  }
  ~Canvas() {
    DeleteDC(dc_);
    DeleteObject(bitmap_);
    ReleaseDC(nullptr, screen_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }
  Raster pixels() const { return RasterOf(dc_); }

 private:
  HDC screen_;
  HDC dc_;
  HBITMAP bitmap_;
};

// An expected raster as text: rows separated by '|', pixels by blanks. A pixel
// is a hexadecimal palette index (IndexColour), "." for unwritten, "K" for
// black or "W" for white.
inline Raster GoldenRaster(std::string_view text, COLORREF unwritten) {
  Raster raster(1);
  std::string token;
  auto flush = [&] {
    if (token.empty()) return;
    if (token == ".") {
      raster.back().push_back(unwritten);
    } else if (token == "K") {
      raster.back().push_back(0);
    } else if (token == "W") {
      raster.back().push_back(0x00FFFFFF);
    } else {
      raster.back().push_back(IndexColour(static_cast<unsigned>(std::stoul(token, nullptr, 16))));
    }
    token.clear();
  };
  for (char c : text) {
    if (c == '|') {
      flush();
      raster.emplace_back();
    } else if (c == ' ') {
      flush();
    } else {
      token.push_back(c);
    }
  }
  flush();
  return raster;
}

// Compares a raster with its golden text; on a mismatch names the first
// differing pixel and shows both rasters.
inline ::testing::AssertionResult MatchesGolden(const Raster& actual, std::string_view golden,
                                                COLORREF unwritten = kUnwritten) {
  const Raster expected = GoldenRaster(golden, unwritten);
  if (actual == expected) return ::testing::AssertionSuccess();
  std::ostringstream message;
  if (actual.size() != expected.size() || (!actual.empty() && actual[0].size() != expected[0].size())) {
    message << "sizes differ";
  } else {
    for (std::size_t y = 0; y < actual.size() && message.tellp() == 0; ++y) {
      for (std::size_t x = 0; x < actual[y].size(); ++x) {
        if (actual[y][x] != expected[y][x]) {
          message << "first difference at (" << x << ", " << y << ")";
          break;
        }
      }
    }
  }
  return ::testing::AssertionFailure() << message.str() << "\nexpected:\n"
                                       << DescribeRaster(expected) << "actual:\n"
                                       << DescribeRaster(actual);
}
