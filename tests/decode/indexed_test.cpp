// Uncompressed palette layouts of 1, 4 and 8 bits per pixel: how rows split
// into pixel values, row strides, palette entries, row order, short data, and
// which renderer the loader picks for each file.
#include <vector>

#include "canvas.h"
#include "decode/renderers.h"

namespace {

using Draw = void (*)(HDC, Bytes, Bytes, std::int32_t, std::uint32_t);

void DrawMono(HDC surface, Bytes pixels, Bytes, std::int32_t height, std::uint32_t width) {
  DrawMono1(surface, pixels, height, width);
}

struct Layout {
  const char* name;
  Draw draw;
  unsigned bits;
  unsigned entrySize;  // 0: black and white
};

const Layout kMono{"1 bit", DrawMono, 1, 0};
const Layout kIndexed4{"4 bits", DrawIndexed4, 4, 4};
const Layout kIndexed4Core{"4 bits, core", DrawIndexed4Core, 4, 3};
const Layout kIndexed8{"8 bits", DrawIndexed8, 8, 4};
const Layout kIndexed8Core{"8 bits, core", DrawIndexed8Core, 8, 3};
const Layout kLayouts[] = {kMono, kIndexed4, kIndexed4Core, kIndexed8, kIndexed8Core};

// Draws data on a fresh canvas of width x |height| through a full palette.
Raster DrawOnCanvas(const Layout& layout, const ByteVector& data, std::int32_t height, std::uint32_t width) {
  Canvas canvas(static_cast<int>(width), height < 0 ? -height : height);
  const ByteVector palette = TestPalette(256, layout.entrySize == 0 ? 4 : layout.entrySize);
  layout.draw(canvas.dc(), Bytes(data), Bytes(palette), height, width);
  return canvas.pixels();
}

TEST(Mono1, SetBitsWhiteClearBitsBlack) {
  // Width 1, height 2: the first stored row is the bottom line.
  const ByteVector data = {0x80, 0, 0, 0, 0x00, 0, 0, 0};
  EXPECT_TRUE(MatchesGolden(DrawOnCanvas(kMono, data, 2, 1), "K|W"));
}

TEST(Mono1, WidthTenTakesTwoBytesAndSkipsTwo) {
  // Pixels 8 and 9 are bits 7 and 6 of the second byte; the rest of that byte
  // and the fill bytes play no part.
  const ByteVector data = {0x00, 0xC0, 0xFF, 0xFF,   // bottom line
                           0xAA, 0x7F, 0xFF, 0xFF};  // top line
  EXPECT_TRUE(MatchesGolden(DrawOnCanvas(kMono, data, 2, 10),
                            "W K W K W K W K K W|"
                            "K K K K K K K K W W"));
}

TEST(Indexed, HalvesOfAFourBitRowHighFirst) {
  // Width 3: the low half of the second byte is ignored.
  const ByteVector data = {0x12, 0x3F, 0xEE, 0xEE};
  for (const Layout& layout : {kIndexed4, kIndexed4Core}) {
    SCOPED_TRACE(layout.name);
    EXPECT_TRUE(MatchesGolden(DrawOnCanvas(layout, data, 1, 3), "1 2 3"));
  }
}

TEST(Indexed, EightBitsOneBytePerPixel) {
  const ByteVector data = {0x00, 0x7F, 0xFF, 0xEE};
  for (const Layout& layout : {kIndexed8, kIndexed8Core}) {
    SCOPED_TRACE(layout.name);
    EXPECT_TRUE(MatchesGolden(DrawOnCanvas(layout, data, 1, 3), "0 7F FF"));
  }
}

// Stored row lengths: pixel bytes plus fill up to a multiple of 4.
TEST(Indexed, RowStrideByWidth) {
  struct Case {
    const Layout* layout;
    std::uint32_t width;
    std::size_t stride;
  };
  const Case cases[] = {
      {&kMono, 1, 4},          {&kMono, 8, 4},         {&kMono, 10, 4},          {&kMono, 32, 4},
      {&kMono, 33, 8},         {&kIndexed4, 1, 4},     {&kIndexed4, 3, 4},       {&kIndexed4, 8, 4},
      {&kIndexed4, 9, 8},      {&kIndexed4Core, 9, 8}, {&kIndexed4Core, 17, 12}, {&kIndexed8, 1, 4},
      {&kIndexed8, 4, 4},      {&kIndexed8, 5, 8},     {&kIndexed8Core, 5, 8},   {&kIndexed8Core, 8, 8},
      {&kIndexed8Core, 9, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.layout->name << ", width " << c.width);
    // Two rows of index 0 whose fill bytes are all ones; the second stored
    // row starts with a marked pixel (white, or index 1).
    const std::size_t rowBytes = (c.width * c.layout->bits + 7) / 8;
    ByteVector data(2 * c.stride, 0);
    for (std::size_t i = rowBytes; i < c.stride; ++i) data[i] = data[c.stride + i] = 0xFF;
    data[c.stride] = c.layout->bits == 8 ? 0x01 : c.layout->bits == 4 ? 0x10 : 0x80;
    const Raster raster = DrawOnCanvas(*c.layout, data, 2, c.width);
    const COLORREF zero = c.layout->entrySize == 0 ? 0 : IndexColour(0);
    const COLORREF mark = c.layout->entrySize == 0 ? 0xFFFFFF : IndexColour(1);
    Raster expected(2, std::vector<COLORREF>(c.width, zero));
    expected[0][0] = mark;
    EXPECT_EQ(raster, expected) << DescribeRaster(raster);
  }
}

TEST(Indexed, PaletteEntryLayouts) {
  // Index 1 is bytes 3 to 5 of 3-byte entries and bytes 4 to 6 of 4-byte
  // entries, blue first; the fourth byte plays no part.
  const ByteVector quads = {9, 9, 9, 9, 0xFF, 0x00, 0x00, 0x7F};
  const ByteVector triples = {9, 9, 9, 0xFF, 0x00, 0x00, 9};
  const ByteVector quadsGreenRed = {9, 9, 9, 9, 0x10, 0x20, 0x30, 0xFF};
  struct Case {
    Draw draw;
    ByteVector pixels;
    const ByteVector* palette;
    COLORREF colour;
  };
  const Case cases[] = {
      {DrawIndexed8, {1, 0, 0, 0}, &quads, 0xFF0000},
      {DrawIndexed8Core, {1, 0, 0, 0}, &triples, 0xFF0000},
      {DrawIndexed4, {0x10, 0, 0, 0}, &quads, 0xFF0000},
      {DrawIndexed4Core, {0x10, 0, 0, 0}, &triples, 0xFF0000},
      {DrawIndexed8, {1, 0, 0, 0}, &quadsGreenRed, 0x102030},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    Canvas canvas(1, 1);
    c.draw(canvas.dc(), Bytes(c.pixels), Bytes(*c.palette), 1, 1);
    EXPECT_EQ(canvas.at(0, 0), c.colour);
  }
}

TEST(Indexed, RowOrderFollowsTheSignOfTheHeight) {
  // Two stored rows of width 3: indexes 1 2 3, then 4 5 6 (white, black and
  // white, then black, white, black at 1 bit).
  struct Case {
    const Layout* layout;
    ByteVector data;
    const char* firstRow;
    const char* secondRow;
  };
  const Case cases[] = {
      {&kMono, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}, "W K W", "K W K"},
      {&kIndexed4, {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0}, "1 2 3", "4 5 6"},
      {&kIndexed4Core, {0x12, 0x30, 0, 0, 0x45, 0x60, 0, 0}, "1 2 3", "4 5 6"},
      {&kIndexed8, {1, 2, 3, 0, 4, 5, 6, 0}, "1 2 3", "4 5 6"},
      {&kIndexed8Core, {1, 2, 3, 0, 4, 5, 6, 0}, "1 2 3", "4 5 6"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout->name);
    EXPECT_TRUE(
        MatchesGolden(DrawOnCanvas(*c.layout, c.data, 2, 3), std::string(c.secondRow) + "|" + c.firstRow));
    EXPECT_TRUE(
        MatchesGolden(DrawOnCanvas(*c.layout, c.data, -2, 3), std::string(c.firstRow) + "|" + c.secondRow));
  }
}

TEST(Indexed, EmptyShapesDrawNothing) {
  const ByteVector data(64, 0x11);
  const ByteVector palette = TestPalette(256, 4);
  const std::pair<std::int32_t, std::uint32_t> shapes[] = {{0, 2}, {2, 0}, {-2147483647 - 1, 2}};
  for (const Layout& layout : kLayouts) {
    for (auto [height, width] : shapes) {
      SCOPED_TRACE(testing::Message() << layout.name << ", " << height << " x " << width);
      Canvas canvas(2, 2);
      layout.draw(canvas.dc(), Bytes(data), Bytes(palette), height, width);
      EXPECT_TRUE(MatchesGolden(canvas.pixels(), ". .|. ."));
    }
  }
}

// Pixel data that ends early is drawn as far as whole pixels reach.
TEST(Indexed, ShortDataDrawsInPart) {
  struct Case {
    const Layout* layout;
    std::uint32_t width;
    ByteVector data;
    const char* golden;  // height 2, bottom-up
  };
  const Case cases[] = {
      {&kIndexed8, 3, {1, 2, 3, 0, 4, 5}, "4 5 .|1 2 3"},
      {&kIndexed8Core, 3, {1, 2, 3, 0, 4}, "4 . .|1 2 3"},
      {&kIndexed8, 3, {1, 2, 3, 0}, ". . .|1 2 3"},
      {&kIndexed8, 3, {1, 2}, ". . .|1 2 ."},
      {&kIndexed8, 3, {}, ". . .|. . ."},
      {&kIndexed4, 3, {0x12, 0x30, 0, 0, 0x45}, "4 5 .|1 2 3"},
      {&kIndexed4Core, 5, {0x12, 0x34, 0x50, 0, 0x67, 0x89}, "6 7 8 9 .|1 2 3 4 5"},
      {&kIndexed4, 3, {0x12, 0x30, 0}, ". . .|1 2 3"},
      {&kMono, 10, {0xFF, 0xC0, 0, 0, 0x00}, "K K K K K K K K . .|W W W W W W W W W W"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.layout->name << ", " << c.data.size() << " bytes");
    EXPECT_TRUE(MatchesGolden(DrawOnCanvas(*c.layout, c.data, 2, c.width), c.golden));
  }
}

// Entries are read wherever the palette bytes reach; one that does not lie
// wholly inside them is black.
TEST(Indexed, EntriesBeyondThePaletteAreBlack) {
  const ByteVector pixels = {0, 1, 2, 3};
  const ByteVector quads = TestPalette(3, 4);    // entries 0 to 2
  const ByteVector triples = TestPalette(3, 3);  // entries 0 to 2
  const ByteVector shortQuads(quads.begin(), quads.end() - 1);
  const ByteVector shortTriples(triples.begin(), triples.end() - 1);
  struct Case {
    Draw draw;
    const ByteVector* palette;
    const char* golden;
  };
  const Case cases[] = {
      {DrawIndexed8, &quads, "0 1 2 K"},
      {DrawIndexed8Core, &triples, "0 1 2 K"},
      {DrawIndexed8, &shortQuads, "0 1 K K"},
      {DrawIndexed8Core, &shortTriples, "0 1 K K"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases);
    Canvas canvas(4, 1);
    c.draw(canvas.dc(), Bytes(pixels), Bytes(*c.palette), 1, 4);
    EXPECT_TRUE(MatchesGolden(canvas.pixels(), c.golden));
  }
  Canvas canvas(4, 1);
  const ByteVector packed = {0x01, 0x23};
  DrawIndexed4(canvas.dc(), Bytes(packed), Bytes(shortQuads), 1, 4);
  EXPECT_TRUE(MatchesGolden(canvas.pixels(), "0 1 K K"));
}

using IndexedFiles = LoaderTest;

// Which renderer the loader picks: the palette sits right after the header,
// 3-byte entries after a core header, and 1-bit images are black and white
// whatever their palette or compression code.
TEST_F(IndexedFiles, DispatchByBitCountHeaderAndCompression) {
  struct Case {
    const char* name;
    std::uint32_t headerSize;
    std::uint16_t bitCount;
    std::uint32_t compression;
    std::int32_t height;
    ByteVector pixels;
    const char* golden;
  };
  const ByteVector mono = {0xA0, 0, 0, 0, 0x40, 0, 0, 0};
  const ByteVector nibbles = {0x12, 0x3F, 0, 0, 0x45, 0x6F, 0, 0};
  const ByteVector bytes = {1, 2, 3, 0xEE, 4, 5, 6, 0xEE};
  const Case cases[] = {
      {"1 bit", 40, 1, 0, 2, mono, "K W K|W K W"},
      {"1 bit, RLE8 code", 40, 1, 1, 2, mono, "K W K|W K W"},
      {"1 bit, RLE4 code", 40, 1, 2, 2, mono, "K W K|W K W"},
      {"1 bit, bit-field code", 40, 1, 3, 2, mono, "K W K|W K W"},
      {"1 bit, core", 12, 1, 0, 2, mono, "K W K|W K W"},
      {"1 bit, 124-byte header, top-down", 124, 1, 0, -2, mono, "W K W|K W K"},
      {"4 bits", 40, 4, 0, 2, nibbles, "4 5 6|1 2 3"},
      {"4 bits, top-down", 40, 4, 0, -2, nibbles, "1 2 3|4 5 6"},
      {"4 bits, 108-byte header", 108, 4, 0, 2, nibbles, "4 5 6|1 2 3"},
      {"4 bits, 124-byte header", 124, 4, 0, -2, nibbles, "1 2 3|4 5 6"},
      {"4 bits, core", 12, 4, 0, 2, nibbles, "4 5 6|1 2 3"},
      {"8 bits", 40, 8, 0, 2, bytes, "4 5 6|1 2 3"},
      {"8 bits, top-down", 40, 8, 0, -2, bytes, "1 2 3|4 5 6"},
      {"8 bits, 108-byte header", 108, 8, 0, -2, bytes, "1 2 3|4 5 6"},
      {"8 bits, 124-byte header", 124, 8, 0, 2, bytes, "4 5 6|1 2 3"},
      {"8 bits, core", 12, 8, 0, 2, bytes, "4 5 6|1 2 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetCurrentImage();
    BmpFile file;
    file.headerSize = c.headerSize;
    file.width = 3;
    file.height = c.height;
    file.bitCount = c.bitCount;
    file.compression = c.compression;
    // A 1-bit palette that would draw set bits black and clear bits white.
    file.palette = c.bitCount == 1 ? ByteVector{0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0}
                                   : TestPalette(c.bitCount == 4 ? 16 : 256, c.headerSize == 12 ? 3 : 4);
    if (c.bitCount == 1 && c.headerSize == 12) file.palette = {0xFF, 0xFF, 0xFF, 0, 0, 0};
    file.pixels = c.pixels;
    ASSERT_EQ(LoadBytes(file.Bytes()), 0);
    EXPECT_TRUE(MatchesGolden(SurfacePixels(), c.golden, 0));
  }
}

// The palette's declared length plays no part: an index beyond it reads the
// bytes that follow (here the pixel data), and an entry past the end of the
// file is black.
TEST_F(IndexedFiles, IndexesReachPastTheStoredPalette) {
  struct Case {
    std::uint32_t headerSize;
    COLORREF indexTwo;  // its entry lies in the pixel data
  };
  // Pixel data 02 01 00 05: entry 2 starts at the first pixel byte.
  const Case cases[] = {{40, 0x00020100}, {12, 0x00020100}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.headerSize);
    ResetCurrentImage();
    BmpFile file;
    file.headerSize = c.headerSize;
    file.width = 4;
    file.height = 1;
    file.bitCount = 8;
    file.palette = TestPalette(2, c.headerSize == 12 ? 3 : 4);
    file.pixels = {0x02, 0x01, 0x00, 0x05};
    ASSERT_EQ(LoadBytes(file.Bytes()), 0);
    EXPECT_EQ(SurfacePixels(), (Raster{{c.indexTwo, IndexColour(1), IndexColour(0), 0}}));
  }
}

TEST_F(IndexedFiles, TruncatedPixelDataDrawsInPart) {
  BmpFile file;
  file.width = 3;
  file.height = 3;
  file.bitCount = 4;
  file.palette = TestPalette(16, 4);
  file.pixels = {0x12, 0x30, 0, 0, 0x45};  // a row and one byte of the next
  ASSERT_EQ(LoadBytes(file.Bytes()), 0);
  EXPECT_TRUE(MatchesGolden(SurfacePixels(), "K K K|4 5 K|1 2 3", 0));
}

// The largest surfaces a file can declare read no further than the file goes;
// a negative width or a surface beyond the largest is refused.
TEST_F(IndexedFiles, HostileShapesStayInsideTheFile) {
  struct Case {
    std::int32_t width, height;
  };
  const Case cases[] = {{-1, 2},
                        {-1, -2},
                        {1, 2147483647},
                        {0x7FFFFFFF, 1},
                        {1, TallestSurface(1)},
                        {TallestSurface(1), -1},
                        {16384, 16384}};
  for (std::uint16_t bitCount : {1, 4, 8}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << bitCount << " bits, " << c.width << " x " << c.height);
      ResetCurrentImage();
      BmpFile file;
      file.width = c.width;
      file.height = c.height;
      file.bitCount = bitCount;
      file.palette = TestPalette(2, 4);
      file.pixels.assign(1001, 0x11);
      EXPECT_EQ(LoadBytes(file.Bytes()), SurfaceCanBeMade(c.width, c.height) ? 0 : -1);
    }
  }
}

}  // namespace
