// 16-bit 5-5-5, 24-bit and 32-bit pixels: colours, strides and row order.
#include "canvas.h"
#include "decode/renderers.h"

namespace {

TEST(Rgb555, Colours) {
  const std::pair<std::uint16_t, COLORREF> cases[] = {
      {0x7FFF, 0x00F8F8F8}, {0xFFFF, 0x00F8F8F8}, {0x7C00, 0x000000F8}, {0x03E0, 0x0000F800},
      {0x001F, 0x00F80000}, {0x801F, 0x00F80000}, {0x0001, 0x00080000}, {0x0000, 0x00000000},
  };
  for (auto [value, colour] : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << value);
    Canvas canvas(1, 1);
    const std::uint8_t pixel[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8)};
    DrawRgb555(canvas.dc(), Bytes(pixel), 1, 1);
    EXPECT_EQ(canvas.at(0, 0), colour);
  }
}

TEST(Rgb555, OddWidthRowsCarryTwoFillBytes) {
  // 3 x 2: the first stored row is 8 bytes and lands on y = 1.
  const std::uint8_t data[] = {0x1F, 0,    0xE0, 0x03, 0x00, 0x7C, 0xAA, 0xAA,
                               0x00, 0x7C, 0x1F, 0,    0xE0, 0x03, 0xAA, 0xAA};
  const COLORREF blue = 0xF80000, green = 0x00F800, red = 0x0000F8;
  for (int height : {2, -2}) {
    SCOPED_TRACE(height);
    Canvas canvas(3, 2);
    DrawRgb555(canvas.dc(), Bytes(data), height, 3);
    const int first = height > 0 ? 1 : 0, second = 1 - first;
    EXPECT_EQ(canvas.at(0, first), blue);
    EXPECT_EQ(canvas.at(1, first), green);
    EXPECT_EQ(canvas.at(2, first), red);
    EXPECT_EQ(canvas.at(0, second), red);
    EXPECT_EQ(canvas.at(1, second), blue);
    EXPECT_EQ(canvas.at(2, second), green);
  }
}

TEST(Rgb24, ColourIsBlueGreenRed) {
  Canvas canvas(1, 1);
  const std::uint8_t pixel[] = {0x10, 0x20, 0x30, 0};
  DrawRgb24(canvas.dc(), Bytes(pixel), 1, 1);
  EXPECT_EQ(canvas.at(0, 0), 0x00102030u);
}

TEST(Rgb32, FourthByteIgnoredAndNoFill) {
  // 3 x 2 top-down: the second row follows the first at once, at byte 12.
  const std::uint8_t data[] = {0x10, 0x20, 0x30, 0x99, 1,  2,  3,  4,  5,  6,  7,  8,
                               9,    10,   11,   12,   13, 14, 15, 16, 17, 18, 19, 20};
  Canvas canvas(3, 2);
  DrawRgb32(canvas.dc(), Bytes(data), -2, 3);
  EXPECT_EQ(canvas.at(0, 0), 0x00102030u);
  EXPECT_EQ(canvas.at(2, 0), 0x00050607u);
  EXPECT_EQ(canvas.at(0, 1), 0x00090A0Bu);
  EXPECT_EQ(canvas.at(2, 1), 0x00111213u);
}

// Stored row length of 24-bit images by width: the row ends on a multiple of 4.
TEST(Rgb24, RowStrideByWidth) {
  const std::pair<int, int> strides[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}};
  for (auto [width, stride] : strides) {
    SCOPED_TRACE(width);
    ByteVector data(static_cast<std::size_t>(stride) * 2, 0);
    // Mark the first pixel of the second stored row, which lands on y = 0.
    data[static_cast<std::size_t>(stride)] = 0x11;
    Canvas canvas(width, 2);
    DrawRgb24(canvas.dc(), Bytes(data), 2, static_cast<std::uint32_t>(width));
    EXPECT_EQ(canvas.at(0, 0), 0x00110000u);
    EXPECT_EQ(canvas.at(0, 1), 0u);
    EXPECT_EQ(canvas.at(width - 1, 1), 0u);
  }
}

TEST(DirectColour, EmptyShapesDrawNothing) {
  const ByteVector data(64, 0xFF);
  const std::pair<std::int32_t, std::uint32_t> shapes[] = {{0, 2}, {2, 0}, {-2147483647 - 1, 2}};
  for (auto [height, width] : shapes) {
    SCOPED_TRACE(testing::Message() << height << " x " << width);
    for (auto draw : {DrawRgb555, DrawRgb24, DrawRgb32}) {
      Canvas canvas(2, 2);
      draw(canvas.dc(), Bytes(data), height, width);
      EXPECT_EQ(canvas.pixels(), Raster(2, std::vector<COLORREF>(2, kUnwritten)));
    }
  }
}

// Data that ends inside the image is drawn as far as it goes.
TEST(DirectColour, ShortDataDrawsInPart) {
  // 2 x 2 24-bit, bottom-up: one full row (8 bytes) and the first pixel of the next.
  const std::uint8_t data[] = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9, 10};
  Canvas canvas(2, 2);
  DrawRgb24(canvas.dc(), Bytes(data), 2, 2);
  EXPECT_EQ(canvas.at(0, 1), 0x00010203u);
  EXPECT_EQ(canvas.at(1, 1), 0x00040506u);
  EXPECT_EQ(canvas.at(0, 0), 0x00070809u);
  EXPECT_EQ(canvas.at(1, 0), kUnwritten) << "the second pixel has only one of its bytes";
}

}  // namespace
