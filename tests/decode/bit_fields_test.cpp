// 16-bit and 32-bit pixels placed by colour masks: mask reduction, bit counts,
// the colours of many mask layouts, strides, row order, short data, and where
// the loader finds the masks.
#include <algorithm>
#include <vector>

#include "canvas.h"
#include "decode/renderers.h"

namespace {

using Draw = void (*)(HDC, Bytes, ColourMasks, std::int32_t, std::uint32_t);

ByteVector MaskBytes(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  ByteVector bytes;
  for (std::uint32_t mask : {red, green, blue}) AppendLe32(bytes, mask);
  return bytes;
}

TEST(BitFields, KeepTop8MaskBits) {
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0xFFFFFFFF, 0xFF000000}, {0x0000FFFF, 0x0000FF00}, {0x3FF00000, 0x3FC00000}, {0x000001FF, 0x000001FE},
      {0xF0F0F0F0, 0xF0F00000}, {0x00000081, 0x00000081}, {0x00007C00, 0x00007C00}, {0x000000FF, 0x000000FF},
      {0x80000001, 0x80000001}, {0x00000000, 0x00000000}, {0xFFFFF800, 0xFF000000}, {0x0000FFFC, 0x0000FF00},
  };
  for (auto [stored, reduced] : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << stored);
    std::uint32_t mask = stored;
    KeepTop8MaskBits(&mask);
    EXPECT_EQ(mask, reduced);
  }
}

TEST(BitFields, CountBits) {
  const std::pair<std::uint32_t, int> cases[] = {
      {0x00000000, 0},  {0x00000001, 1},  {0x80000000, 1},  {0xFFFFFFFF, 32}, {0x55555555, 16},
      {0xAAAAAAAA, 16}, {0x00007C00, 5},  {0x000007E0, 6},  {0x3FF00000, 10}, {0x12345678, 13},
      {0xFF000000, 8},  {0x7FFFFFFF, 31}, {0xF0F0F0F0, 16}, {0x00000081, 2},
  };
  for (auto [value, bits] : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << value);
    EXPECT_EQ(CountBits(value), bits);
  }
}

struct ColourTable {
  const char* name;
  Draw draw;
  std::uint32_t red, green, blue;
  std::vector<std::pair<std::uint32_t, COLORREF>> colours;  // pixel value, colour
};

// Each table's pixel values drawn as one row.
TEST(BitFields, ColoursByMaskLayout) {
  const ColourTable tables[] = {
      {"5-5-5",
       DrawBitfields16,
       0x7C00,
       0x03E0,
       0x001F,
       {{0x7FFF, 0xF8F8F8}, {0x801F, 0xF80000}, {0x03E0, 0x00F800}, {0x1234, 0xA08820}}},
      {"5-6-5",
       DrawBitfields16,
       0xF800,
       0x07E0,
       0x001F,
       {{0xFFFF, 0xF8FCF8}, {0xF800, 0x0000F8}, {0x07E0, 0x00FC00}, {0x001F, 0xF80000}, {0x8421, 0x088480}}},
      {"red above 16 bits", DrawBitfields16, 0xFFFFF800, 0x07E0, 0x001F, {{0xFFFF, 0xF8FC00}, {0x8000, 0}}},
      {"wide blue",
       DrawBitfields16,
       0x0001,
       0x0002,
       0xFFFC,
       {{0xFFFF, 0xFF8080}, {0x0001, 0x000080}, {0x0004, 0}, {0x8000, 0x800000}}},
      {"gapped red", DrawBitfields16, 0x0081, 0x0F00, 0xF000, {{0x81, 0x40}, {0x80, 0}, {0x01, 0x40}}},
      {"no red bits", DrawBitfields16, 0, 0x07E0, 0x001F, {{0xFFFF, 0xF8FC00}, {0x0021, 0x080400}}},
      {"no bits at all", DrawBitfields32, 0, 0, 0, {{0xFFFFFFFF, 0}}},
      {"8-8-8",
       DrawBitfields32,
       0x00FF0000,
       0x0000FF00,
       0x000000FF,
       {{0x00112233, 0x332211}, {0x12345678, 0x785634}}},
      {"8-8-8 high",
       DrawBitfields32,
       0xFF000000,
       0x00FF0000,
       0x0000FF00,
       {{0x11223344, 0x332211}, {0xAABBCCDD, 0xCCBBAA}}},
      {"10-10-10",
       DrawBitfields32,
       0x3FF00000,
       0x000FFC00,
       0x000003FF,
       {{0x3FFFFFFF, 0xFFFFFF}, {0x12345678, 0x9E4548}, {0x00100401, 0}}},
      {"overlapping",
       DrawBitfields32,
       0xFFFFFFFF,
       0x00000001,
       0x80000000,
       {{0xFFFFFFFF, 0x8080FF}, {0x01000001, 0x008001}, {0x80000000, 0x800080}}},
  };
  for (const ColourTable& table : tables) {
    SCOPED_TRACE(table.name);
    const bool wide = table.draw == DrawBitfields32;
    ByteVector pixels;
    for (auto [value, colour] : table.colours) wide ? AppendLe32(pixels, value) : AppendLe16(pixels, value);
    pixels.resize(pixels.size() + 2, 0);  // fill of an odd 16-bit row
    const ByteVector masks = MaskBytes(table.red, table.green, table.blue);
    const auto width = static_cast<std::uint32_t>(table.colours.size());
    Canvas canvas(static_cast<int>(width), 1);
    table.draw(canvas.dc(), Bytes(pixels), ColourMasks(masks.data(), 12), 1, width);
    for (std::uint32_t x = 0; x < width; ++x) {
      SCOPED_TRACE(testing::Message() << std::hex << table.colours[x].first);
      EXPECT_EQ(canvas.at(static_cast<int>(x), 0), table.colours[x].second);
    }
  }
}

// With the 5-5-5 masks every 16-bit value has the colour of the fixed layout.
TEST(BitFields, FiveFiveFiveMasksMatchTheFixedLayout) {
  ByteVector pixels;
  for (std::uint32_t value = 0; value < 0x10000; ++value) AppendLe16(pixels, value);
  const ByteVector masks = MaskBytes(0x7C00, 0x03E0, 0x001F);
  Canvas withMasks(256, 256);
  Canvas fixed(256, 256);
  DrawBitfields16(withMasks.dc(), Bytes(pixels), ColourMasks(masks.data(), 12), -256, 256);
  DrawRgb555(fixed.dc(), Bytes(pixels), -256, 256);
  EXPECT_EQ(withMasks.pixels(), fixed.pixels());
  EXPECT_EQ(withMasks.at(255, 255), 0xF8F8F8u);
}

TEST(BitFields, StrideAndRowOrder) {
  // 5-6-5 red, green, blue, then white, black, red; 16-bit rows of width 3 end
  // with 2 fill bytes, which would draw white if they were taken as a pixel.
  const ByteVector masks565 = MaskBytes(0xF800, 0x07E0, 0x001F);
  const ByteVector rows16 = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0xFF, 0xFF,
                             0xFF, 0xFF, 0x00, 0x00, 0x00, 0xF8, 0xFF, 0xFF};
  const ByteVector masks888 = MaskBytes(0x00FF0000, 0x0000FF00, 0x000000FF);
  ByteVector rows32;
  for (std::uint32_t value : {0xF80000u, 0x00FC00u, 0x0000F8u, 0xF8FCF8u, 0u, 0xF80000u})
    AppendLe32(rows32, value);
  const COLORREF red = 0x0000F8, green = 0x00FC00, blue = 0xF80000, white = 0xF8FCF8;
  const Raster firstThenSecond = {{red, green, blue}, {white, 0, red}};
  const Raster secondThenFirst = {firstThenSecond[1], firstThenSecond[0]};
  struct Case {
    Draw draw;
    const ByteVector* pixels;
    const ByteVector* masks;
  };
  for (const Case& c :
       {Case{DrawBitfields16, &rows16, &masks565}, Case{DrawBitfields32, &rows32, &masks888}}) {
    for (std::int32_t height : {2, -2}) {
      SCOPED_TRACE(testing::Message() << (c.draw == DrawBitfields16 ? 16 : 32) << " bits, height " << height);
      Canvas canvas(3, 2);
      c.draw(canvas.dc(), Bytes(*c.pixels), ColourMasks(c.masks->data(), 12), height, 3);
      EXPECT_EQ(canvas.pixels(), height > 0 ? secondThenFirst : firstThenSecond)
          << DescribeRaster(canvas.pixels());
    }
  }
}

TEST(BitFields, EmptyShapesDrawNothing) {
  const ByteVector data(64, 0xFF);
  const ByteVector masks = MaskBytes(0xF800, 0x07E0, 0x001F);
  const std::pair<std::int32_t, std::uint32_t> shapes[] = {{0, 2}, {2, 0}, {-2147483647 - 1, 2}};
  for (Draw draw : {DrawBitfields16, DrawBitfields32}) {
    for (auto [height, width] : shapes) {
      SCOPED_TRACE(testing::Message() << height << " x " << width);
      Canvas canvas(2, 2);
      draw(canvas.dc(), Bytes(data), ColourMasks(masks.data(), 12), height, width);
      EXPECT_TRUE(MatchesGolden(canvas.pixels(), ". .|. ."));
    }
  }
}

// Data that ends inside the image is drawn as far as whole pixels reach.
TEST(BitFields, ShortDataDrawsInPart) {
  // Red, green and blue from bytes 0, 1 and 2 of the pixel (16 bits: no blue).
  const ByteVector masks = MaskBytes(0x000000FF, 0x0000FF00, 0x00FF0000);
  const ByteVector data16 = {1, 2, 3, 4, 5, 6, 0, 0, 7, 8, 9};  // a row, a pixel and a byte
  const ByteVector data32 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  Canvas canvas16(3, 2);
  DrawBitfields16(canvas16.dc(), Bytes(data16), ColourMasks(masks.data(), 12), 2, 3);
  EXPECT_EQ(canvas16.pixels(), (Raster{{0x000807, kUnwritten, kUnwritten}, {0x000201, 0x000403, 0x000605}}));
  Canvas canvas32(2, 2);
  DrawBitfields32(canvas32.dc(), Bytes(data32), ColourMasks(masks.data(), 12), -2, 2);
  EXPECT_EQ(canvas32.pixels(), (Raster{{0x030201, 0x070605}, {0x0B0A09, kUnwritten}}));
}

using BitFieldFiles = LoaderTest;

// The masks are read at 40 bytes into the header whatever its size: right
// after a 40-byte header, inside the longer ones. Compression 0 takes the
// fixed layouts instead.
TEST_F(BitFieldFiles, MasksFortyBytesIntoTheHeader) {
  struct Case {
    const char* name;
    std::uint32_t headerSize;
    std::uint16_t bitCount;
    std::uint32_t compression;
    std::int32_t height;
    Raster expected;
  };
  // 16 bits: FFFF, F800; 32 bits: 00112233, 00FF0000, whose first byte is red
  // by the masks and blue in the fixed layout.
  const COLORREF white565 = 0xF8FCF8, red = 0x0000F8, white555 = 0xF8F8F8;
  const Case cases[] = {
      {"16 bits", 40, 16, 3, 1, {{white565, red}}},
      {"16 bits, 108-byte header", 108, 16, 3, -1, {{white565, red}}},
      {"16 bits, 124-byte header", 124, 16, 3, 1, {{white565, red}}},
      {"16 bits, 16-byte header", 16, 16, 3, 1, {{white565, red}}},
      {"16 bits, no masks", 40, 16, 0, 1, {{white555, 0x0000F0}}},
      {"32 bits", 40, 32, 3, 1, {{0x112233, 0xFF0000}}},
      {"32 bits, 124-byte header, top-down", 124, 32, 3, -1, {{0x112233, 0xFF0000}}},
      {"32 bits, no masks", 40, 32, 0, 1, {{0x332211, 0x0000FF}}},
      {"16 bits, core", 12, 16, 0, 1, {{white555, 0x0000F0}}},
      {"32 bits, core", 12, 32, 0, 1, {{0x332211, 0x0000FF}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetCurrentImage();
    BmpFile file;
    file.headerSize = c.headerSize;
    file.width = 2;
    file.height = c.height;
    file.bitCount = c.bitCount;
    file.compression = c.compression;
    const ByteVector masks =
        c.bitCount == 16 ? MaskBytes(0xF800, 0x07E0, 0x001F) : MaskBytes(0x000000FF, 0x0000FF00, 0x00FF0000);
    (c.headerSize > 40 ? file.headerTail : file.palette) = masks;
    if (c.bitCount == 16) {
      file.pixels = {0xFF, 0xFF, 0x00, 0xF8};
    } else {
      file.pixels = {0x33, 0x22, 0x11, 0x00, 0x00, 0x00, 0xFF, 0x00};
    }
    const ByteVector bytes = file.Bytes();
    ASSERT_EQ(LoadBytes(bytes), 0);
    EXPECT_EQ(SurfacePixels(), c.expected) << DescribeRaster(SurfacePixels());
    // Drawing leaves the stored masks as they were.
    if (c.compression == 3) {
      EXPECT_TRUE(std::equal(bytes.begin() + 54, bytes.begin() + 66, CurrentImage.fileBody + 40));
    }
  }
}

// Without all 12 mask bytes inside the file no renderer runs. The pixel data
// here is the header itself, which would draw a red 0x20.
TEST_F(BitFieldFiles, MasksCutShortDrawNothing) {
  for (std::uint16_t bitCount : {16, 32}) {
    for (std::uint32_t maskBytes : {0u, 8u, 11u, 12u}) {
      SCOPED_TRACE(testing::Message() << bitCount << " bits, " << maskBytes << " mask bytes");
      ResetCurrentImage();
      BmpFile file;
      file.width = 2;
      file.height = 1;
      file.bitCount = bitCount;
      file.compression = 3;
      file.palette = MaskBytes(0x0000000E, 0x0000F000, 0x00F00000);
      file.palette.resize(maskBytes);
      file.bfOffBits = 14 + 4;  // biWidth: 02 00 00 00
      ASSERT_EQ(LoadBytes(file.Bytes()), 0);
      EXPECT_EQ(SurfacePixels(), (Raster{{maskBytes == 12 ? 0x20u : 0u, 0u}}));
    }
  }
}

}  // namespace
