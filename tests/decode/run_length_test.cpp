// Run-length streams of 4-bit and 8-bit indexes: encoded and absolute runs,
// the escapes for end of line, end of bitmap and delta, streams that end
// early, hostile streams, the trace, and the loader's choice of renderer.
#include <string>
#include <vector>

#include "canvas.h"
#include "decode/renderers.h"

namespace {

using Draw = void (*)(HDC, Bytes, Bytes, std::int32_t, std::uint32_t);

struct StreamCase {
  const char* name;
  Draw draw;
  std::uint32_t width;
  std::int32_t height;
  ByteVector stream;
  const char* golden;
};

void ExpectDecodes(const StreamCase& c, const ByteVector& palette = TestPalette(256, 4)) {
  SCOPED_TRACE(c.name);
  Canvas canvas(static_cast<int>(c.width), c.height < 0 ? -c.height : c.height);
  c.draw(canvas.dc(), Bytes(c.stream), Bytes(palette), c.height, c.width);
  EXPECT_TRUE(MatchesGolden(canvas.pixels(), c.golden));
}

TEST(RunLength, PublishedExamples) {
  const StreamCase cases[] = {
      {"absolute run, then its skipped byte",
       DrawRle8,
       4,
       1,
       {0x00, 0x03, 0x07, 0x08, 0x09, 0x00, 0x01, 0x0C},
       "7 8 9 C"},
      {"encoded halves, then an absolute run",
       DrawRle4,
       8,
       1,
       {0x05, 0x1A, 0x00, 0x03, 0x45, 0x60},
       "1 A 1 A 1 4 5 6"},
      {"every run starts with the high half", DrawRle4, 6, 1, {0x03, 0x12, 0x03, 0x34}, "1 2 1 3 4 3"},
      {"odd absolute run skips a byte",
       DrawRle4,
       7,
       1,
       {0x00, 0x05, 0x12, 0x34, 0x5F, 0xFF, 0x02, 0x07},
       "1 2 3 4 5 0 7"},
      {"overlong run ends its row", DrawRle8, 4, 2, {0x06, 0x05, 0x04, 0x07}, "7 7 7 7|5 5 5 5"},
      {"top-down", DrawRle8, 2, -2, {0x02, 0x01, 0x02, 0x02}, "1 1|2 2"},
      {"overlong absolute run is clipped",
       DrawRle8,
       2,
       2,
       {0x00, 0x03, 0x01, 0x02, 0x03, 0x00, 0x01, 0x04},
       "4 .|1 2"},
  };
  for (const StreamCase& c : cases) ExpectDecodes(c);
}

TEST(RunLength, EndOfLineEndOfBitmapAndDelta) {
  const StreamCase cases[] = {
      {"end of line closes a row early",
       DrawRle8,
       4,
       2,
       {0x02, 0x01, 0x00, 0x00, 0x03, 0x02, 0x00, 0x01},
       "2 2 2 .|1 1 . ."},
      {"end of line after a full row belongs to it",
       DrawRle8,
       2,
       2,
       {0x02, 0x01, 0x00, 0x00, 0x02, 0x02, 0x00, 0x00, 0x00, 0x01},
       "2 2|1 1"},
      {"only one end of line is absorbed",
       DrawRle8,
       2,
       3,
       {0x02, 0x01, 0x00, 0x00, 0x00, 0x00, 0x02, 0x02},
       "2 2|. .|1 1"},
      {"end of line, top-down", DrawRle4, 4, -2, {0x02, 0x12, 0x00, 0x00, 0x04, 0x34}, "1 2 . .|3 4 3 4"},
      {"end of bitmap before the last row", DrawRle8, 2, 2, {0x02, 0x01, 0x00, 0x01, 0x02, 0x02}, ". .|1 1"},
      {"delta within the row",
       DrawRle4,
       6,
       1,
       {0x01, 0x10, 0x00, 0x02, 0x03, 0x00, 0x02, 0x23},
       "1 . . . 2 3"},
      {"delta across rows",
       DrawRle8,
       4,
       3,
       {0x01, 0x01, 0x00, 0x02, 0x02, 0x01, 0x01, 0x02, 0x00, 0x01},
       ". . . .|. . . 2|1 . . ."},
      {"delta across rows, top-down",
       DrawRle8,
       4,
       -3,
       {0x01, 0x01, 0x00, 0x02, 0x02, 0x01, 0x01, 0x02, 0x00, 0x01},
       "1 . . .|. . . 2|. . . ."},
      {"delta onto the last row", DrawRle8, 2, 2, {0x00, 0x02, 0x01, 0x01, 0x01, 0x03}, ". 3|. ."},
      {"delta past the last row stops",
       DrawRle8,
       2,
       2,
       {0x01, 0x01, 0x00, 0x02, 0x00, 0x05, 0x01, 0x02},
       ". .|1 ."},
      // A delta never ends a row: the run after it lands beyond the edge.
      {"runs after a delta to the edge are clipped",
       DrawRle8,
       2,
       2,
       {0x00, 0x02, 0x02, 0x00, 0x01, 0x05, 0x01, 0x07},
       "7 .|. ."},
      {"end of line after a delta to the edge",
       DrawRle8,
       2,
       2,
       {0x00, 0x02, 0x02, 0x00, 0x00, 0x00, 0x01, 0x07},
       "7 .|. ."},
  };
  for (const StreamCase& c : cases) ExpectDecodes(c);
}

// An item that does not lie whole inside the data is not drawn, and decoding
// stops there.
TEST(RunLength, StreamsCutShort) {
  const StreamCase cases[] = {
      {"a lone byte", DrawRle8, 4, 1, {0x02, 0x01, 0x03}, "1 1 . ."},
      {"absolute run without all its indexes",
       DrawRle8,
       4,
       1,
       {0x01, 0x01, 0x00, 0x04, 0x05, 0x06, 0x07},
       "1 . . ."},
      {"absolute run without its skipped byte",
       DrawRle8,
       4,
       1,
       {0x01, 0x01, 0x00, 0x03, 0x05, 0x06, 0x07},
       "1 . . ."},
      {"4-bit absolute run without its skipped byte",
       DrawRle4,
       8,
       1,
       {0x01, 0x10, 0x00, 0x05, 0x12, 0x34, 0x50},
       "1 . . . . . . ."},
      {"4-bit absolute run that ends with the data",
       DrawRle4,
       8,
       1,
       {0x01, 0x10, 0x00, 0x04, 0x23, 0x45},
       "1 2 3 4 5 . . ."},
      {"delta without its offsets", DrawRle8, 4, 1, {0x01, 0x01, 0x00, 0x02, 0x01}, "1 . . ."},
      {"rows the stream never reaches", DrawRle8, 2, 3, {0x02, 0x01}, ". .|. .|1 1"},
      {"no data at all", DrawRle4, 2, 1, {}, ". ."},
  };
  for (const StreamCase& c : cases) ExpectDecodes(c);
}

TEST(RunLength, EntriesBeyondThePaletteAreBlack) {
  const ByteVector twoEntries = TestPalette(2, 4);
  ExpectDecodes({"8 bits", DrawRle8, 3, 1, {0x01, 0x00, 0x01, 0x01, 0x01, 0x05}, "0 1 K"}, twoEntries);
  ExpectDecodes({"4 bits", DrawRle4, 4, 1, {0x02, 0x01, 0x00, 0x03, 0x1F, 0x20}, "0 1 1 K"}, twoEntries);
  const ByteVector lastEntryCut(twoEntries.begin(), twoEntries.end() - 1);
  ExpectDecodes({"entry cut short", DrawRle8, 2, 1, {0x01, 0x00, 0x01, 0x01}, "0 K"}, lastEntryCut);
}

// Items that draw nothing and move nothing end with the data.
TEST(RunLength, ItemsThatDrawNothingEndWithTheData) {
  StreamCase c{"deltas of nothing", DrawRle8, 4, 1, {}, "3 . . ."};
  for (int i = 0; i < 1000; ++i) c.stream.insert(c.stream.end(), {0x00, 0x02, 0x00, 0x00});
  c.stream.insert(c.stream.end(), {0x01, 0x03});
  ExpectDecodes(c);
}

TEST(RunLength, EmptyShapesDrawNothing) {
  const ByteVector stream = {0x02, 0x01, 0x02, 0x01, 0x02, 0x01, 0x02, 0x01};
  const std::pair<std::int32_t, std::uint32_t> shapes[] = {{0, 2}, {2, 0}, {-2147483647 - 1, 2}};
  for (Draw draw : {DrawRle4, DrawRle8}) {
    for (auto [height, width] : shapes) {
      SCOPED_TRACE(testing::Message() << height << " x " << width);
      Canvas canvas(2, 2);
      const ByteVector palette = TestPalette(256, 4);
      draw(canvas.dc(), Bytes(stream), Bytes(palette), height, width);
      EXPECT_TRUE(MatchesGolden(canvas.pixels(), ". .|. ."));
    }
  }
}

// Every call traces its layout first, whether or not it draws anything.
TEST(RunLength, TracesOnEveryCall) {
  const ByteVector stream = {0x02, 0x01};
  const ByteVector palette = TestPalette(2, 4);
  const std::pair<std::int32_t, std::uint32_t> shapes[] = {{1, 2}, {0, 2}, {1, 0}};
  for (Draw draw : {DrawRle4, DrawRle8}) {
    for (auto [height, width] : shapes) {
      SCOPED_TRACE(testing::Message() << height << " x " << width);
      Canvas canvas(2, 1);
      TraceRecorder trace;
      draw(canvas.dc(), Bytes(stream), Bytes(palette), height, width);
      EXPECT_EQ(trace.formats(), std::vector<std::string>{"%s\n"});
    }
  }
}

using RunLengthFiles = LoaderTest;

TEST_F(RunLengthFiles, DispatchByBitCountAndCompression) {
  struct Case {
    const char* name;
    std::uint32_t headerSize;
    std::uint16_t bitCount;
    std::uint32_t compression;
    std::int32_t height;
    const char* golden;
  };
  // Both streams: a full row, its end of line, then an absolute run of 4, 5, 6.
  const ByteVector rle8 = {0x03, 0x01, 0x00, 0x00, 0x00, 0x03, 0x04, 0x05, 0x06, 0x00, 0x00, 0x01};
  const ByteVector rle4 = {0x03, 0x12, 0x00, 0x00, 0x00, 0x03, 0x45, 0x60, 0x00, 0x01};
  const Case cases[] = {
      {"RLE8", 40, 8, 1, 2, "4 5 6|1 1 1"},
      {"RLE8, top-down", 40, 8, 1, -2, "1 1 1|4 5 6"},
      {"RLE8, 108-byte header", 108, 8, 1, 2, "4 5 6|1 1 1"},
      {"RLE8, 124-byte header", 124, 8, 1, -2, "1 1 1|4 5 6"},
      {"RLE4", 40, 4, 2, 2, "4 5 6|1 2 1"},
      {"RLE4, top-down", 40, 4, 2, -2, "1 2 1|4 5 6"},
      {"RLE4, 108-byte header", 108, 4, 2, -2, "1 2 1|4 5 6"},
      {"RLE4, 124-byte header", 124, 4, 2, 2, "4 5 6|1 2 1"},
      {"RLE4 code on 8 bits", 40, 8, 2, 2, "K K K|K K K"},
      {"RLE8 code on 4 bits", 40, 4, 1, 2, "K K K|K K K"},
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
    file.palette = TestPalette(c.bitCount == 4 ? 16 : 256, 4);
    file.pixels = c.compression == 1 ? rle8 : rle4;
    TraceRecorder trace;
    ASSERT_EQ(LoadBytes(file.Bytes()), 0);
    EXPECT_TRUE(MatchesGolden(SurfacePixels(), c.golden, 0));
    const bool decoded = c.golden[0] != 'K';
    EXPECT_EQ(trace.formats().back() == "%s\n", decoded);
  }
}

// Streams that never fill their rows decode in time proportional to the file:
// a hang here shows as the test's timeout.
TEST_F(RunLengthFiles, HostileStreamsEndWithTheFile) {
  struct Case {
    const char* name;
    std::uint16_t bitCount;
    std::int32_t width, height;
    ByteVector item;
  };
  const std::int32_t kTallest = TallestSurface(4);
  ByteVector absolute255 = {0x00, 0xFF};
  absolute255.resize(2 + 256, 0x01);
  const Case cases[] = {
      {"ends of line", 8, 1, kTallest, {0x00, 0x00}},
      {"ends of line, top-down", 4, 4, -kTallest, {0x00, 0x00}},
      {"runs of 255", 8, 1, kTallest, {0xFF, 0x01}},
      {"runs of 255, top-down", 4, 1, -kTallest, {0xFF, 0x12}},
      {"runs of 255, the widest", 8, TallestSurface(1), 1, {0xFF, 0x01}},
      {"absolute runs of 255", 8, 1, kTallest, absolute255},
      {"deltas of nothing", 8, 1, 1, {0x00, 0x02, 0x00, 0x00}},
      {"deltas of 255 rows", 4, 1, -kTallest, {0x00, 0x02, 0x00, 0xFF}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetCurrentImage();
    BmpFile file;
    file.width = c.width;
    file.height = c.height;
    file.bitCount = c.bitCount;
    file.compression = c.bitCount == 8 ? 1 : 2;
    file.palette = TestPalette(16, 4);
    while (file.pixels.size() < 100000) file.pixels.insert(file.pixels.end(), c.item.begin(), c.item.end());
    EXPECT_EQ(LoadBytes(file.Bytes()), 0);
  }
}

}  // namespace
