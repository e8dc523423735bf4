// The generator's files, read back through the loader, show the picture the
// generator meant, in every layout, header and row order; and its run-length
// streams keep to the published form.
#include <algorithm>

#include "bitmap_writer.h"
#include "loaded_image.h"

namespace {

using bmpgen::Format;
using bmpgen::Header;
using bmpgen::Layout;

using BmpgenRoundTrip = LoaderTest;

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
         static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

// What the loader should show: each picture colour as the layout stores it.
Raster ExpectedRaster(Layout layout, std::uint32_t width, std::uint32_t height) {
  const bmpgen::Picture picture = bmpgen::TestPicture(width, height);
  Raster raster(height, std::vector<COLORREF>(width));
  std::vector<bmpgen::Colour> row(width);
  for (std::uint32_t y = 0; y < height; ++y) {
    picture.drawRow(y, row);
    for (std::uint32_t x = 0; x < width; ++x) raster[y][x] = bmpgen::StoredColour(layout, row[x], x, y);
  }
  return raster;
}

std::string FirstDifference(const Raster& actual, const Raster& expected) {
  for (std::size_t y = 0; y < std::min(actual.size(), expected.size()); ++y) {
    for (std::size_t x = 0; x < std::min(actual[y].size(), expected[y].size()); ++x) {
      if (actual[y][x] != expected[y][x]) {
        char text[96];
        std::snprintf(text, sizeof text, "first difference at (%zu, %zu): %06X, expected %06X", x, y,
                      actual[y][x], expected[y][x]);
        return text;
      }
    }
  }
  return "sizes differ";
}

TEST_F(BmpgenRoundTrip, EveryLayoutHeaderAndRowOrderLoadsAsThePicture) {
  struct Size {
    std::uint32_t width, height;
  };
  // Every fill count, a byte-spanning row, rows longer than one run-length item.
  const Size sizes[] = {{1, 1}, {2, 3}, {3, 2}, {5, 4}, {17, 9}, {64, 40}, {300, 7}};
  int checked = 0;
  for (Layout layout : bmpgen::kAllLayouts) {
    for (Header header : bmpgen::kAllHeaders) {
      for (bool topDown : {false, true}) {
        const Format format{layout, header, topDown};
        for (const Size& size : sizes) {
          if (!bmpgen::FormatProblem(format, size.width, size.height).empty()) continue;
          SCOPED_TRACE(std::string(bmpgen::NameOf(layout)) + " " + std::string(bmpgen::NameOf(header)) +
                       (topDown ? " top-down " : " bottom-up ") + std::to_string(size.width) + "x" +
                       std::to_string(size.height));
          const auto bytes = bmpgen::EncodeBitmap(bmpgen::TestPicture(size.width, size.height), format);
          ResetCurrentImage();
          ASSERT_EQ(LoadBytes(bytes), 0);
          const Raster expected = ExpectedRaster(layout, size.width, size.height);
          const Raster actual = SurfacePixels();
          ASSERT_TRUE(actual == expected) << FirstDifference(actual, expected);
          ++checked;
        }
      }
    }
  }
  // 10 layouts x 3 info headers x 2 orders + 4 core layouts, bottom-up only.
  EXPECT_EQ(checked, (10 * 3 * 2 + 4) * 7);
}

TEST(Bmpgen, CoreHeaderOnlyForItsLayoutsAndBottomUp) {
  for (Layout layout : bmpgen::kAllLayouts) {
    const bool fits = layout == Layout::Mono1 || layout == Layout::Indexed4 || layout == Layout::Indexed8 ||
                      layout == Layout::Rgb24;
    SCOPED_TRACE(std::string(bmpgen::NameOf(layout)));
    EXPECT_EQ(bmpgen::FormatProblem({layout, Header::Core, false}, 4, 4).empty(), fits);
    EXPECT_FALSE(bmpgen::FormatProblem({layout, Header::Core, true}, 4, 4).empty());
  }
  EXPECT_FALSE(bmpgen::FormatProblem({Layout::Rgb24, Header::Core, false}, 65536, 1).empty());
}

TEST(Bmpgen, HeaderFieldsAndMaskPlacement) {
  struct Case {
    Layout layout;
    Header header;
    std::uint32_t offBits;  // 14 + header + masks after a 40-byte header + palette
  };
  const Case cases[] = {
      {Layout::Mono1, Header::Core, 14 + 12 + 2 * 3},
      {Layout::Indexed8, Header::Core, 14 + 12 + 256 * 3},
      {Layout::Indexed4, Header::Info40, 14 + 40 + 16 * 4},
      {Layout::Indexed8, Header::Info124, 14 + 124 + 256 * 4},
      {Layout::Rgb24, Header::Info40, 54},
      {Layout::Bitfields16, Header::Info40, 54 + 12},
      {Layout::Bitfields16, Header::Info108, 14 + 108},
      {Layout::Bitfields32, Header::Info124, 14 + 124},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(bmpgen::NameOf(c.layout)) + " " + std::string(bmpgen::NameOf(c.header)));
    const auto bytes = bmpgen::EncodeBitmap(bmpgen::TestPicture(5, 3), {c.layout, c.header, false});
    EXPECT_EQ(bytes[0], 'B');
    EXPECT_EQ(bytes[1], 'M');
    EXPECT_EQ(Le32(bytes, 2), bytes.size());
    EXPECT_EQ(Le32(bytes, 10), c.offBits);
    if (c.layout == Layout::Bitfields16) {
      EXPECT_EQ(Le32(bytes, 54), 0xF800u);
      EXPECT_EQ(Le32(bytes, 58), 0x07E0u);
      EXPECT_EQ(Le32(bytes, 62), 0x001Fu);
    }
    if (c.layout == Layout::Bitfields32) {
      EXPECT_EQ(Le32(bytes, 54), 0x00FF0000u);
      EXPECT_EQ(Le32(bytes, 58), 0x0000FF00u);
      EXPECT_EQ(Le32(bytes, 62), 0x000000FFu);
    }
  }
  const auto topDown = bmpgen::EncodeBitmap(bmpgen::TestPicture(5, 3), {Layout::Rgb24, Header::Info40, true});
  EXPECT_EQ(Le32(topDown, 22), 0xFFFFFFFDu);  // biHeight -3
}

// Walks a stream with the published meaning of each item: every row holds
// exactly width pixels and ends with (0, 0); (0, 1) ends the bitmap.
TEST(Bmpgen, RunLengthStreamsKeepThePublishedForm) {
  for (Layout layout : {Layout::Rle4, Layout::Rle8}) {
    SCOPED_TRACE(std::string(bmpgen::NameOf(layout)));
    const std::uint32_t width = 301, height = 64;
    const auto bytes =
        bmpgen::EncodeBitmap(bmpgen::TestPicture(width, height), {layout, Header::Info40, false});
    const std::size_t start = Le32(bytes, 10);
    ASSERT_EQ(Le32(bytes, 34), bytes.size() - start);  // biSizeImage is the stream's length
    const unsigned bits = layout == Layout::Rle4 ? 4 : 8;
    const std::size_t raw = (width * bits + 31) / 32 * 4 * height;
    EXPECT_LT(bytes.size() - start, raw / 2);
    std::size_t o = start;
    int encoded = 0, absolute = 0;
    for (std::uint32_t row = 0; row < height; ++row) {
      std::uint32_t x = 0;
      for (;;) {
        ASSERT_LE(o + 2, bytes.size());
        ASSERT_EQ((o - start) % 2, 0u);
        const std::uint8_t count = bytes[o], value = bytes[o + 1];
        o += 2;
        if (count != 0) {
          x += count;
          ++encoded;
          continue;
        }
        if (value == 0) break;
        ASSERT_GE(value, 3) << "only (0, 0) and (0, 1) escapes are written";
        const std::size_t data = (value * bits + 7) / 8;
        o += data + data % 2;
        x += value;
        ++absolute;
      }
      ASSERT_EQ(x, width) << "row " << row;
    }
    ASSERT_EQ(o + 2, bytes.size());
    EXPECT_EQ(bytes[o], 0);
    EXPECT_EQ(bytes[o + 1], 1);
    EXPECT_GT(encoded, 0);
    EXPECT_GT(absolute, 0);
  }
}

}  // namespace
