// Reading files into CurrentImage: headers, failures, traces and dispatch.
#include "loaded_image.h"

namespace {

constexpr COLORREF kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

using Loader = LoaderTest;

TEST_F(Loader, TwoByTwo24BitFile) {
  ASSERT_EQ(LoadBytes(TwoByTwo24().Bytes()), 0);
  EXPECT_EQ(CurrentImage.fileBodySize, 56u);
  EXPECT_EQ(CurrentImage.pixelOffset, 40u);
  EXPECT_EQ(CurrentImage.headerSize, 40u);
  EXPECT_EQ(CurrentImage.width, 2);
  EXPECT_EQ(CurrentImage.height, 2);
  EXPECT_EQ(CurrentImage.bitCount, 24u);
  EXPECT_EQ(CurrentImage.compression, 0u);
  EXPECT_EQ(SurfacePixels(), (Raster{{kBlue, kWhite}, {kRed, kGreen}}));
}

TEST_F(Loader, TopDownFileKeepsStoredRowOrderAndEndsNonNegative) {
  BmpFile file = TwoByTwo24();
  file.height = -2;
  ASSERT_EQ(LoadBytes(file.Bytes()), 0);
  EXPECT_EQ(CurrentImage.height, 2);
  EXPECT_EQ(SurfacePixels(), (Raster{{kRed, kGreen}, {kBlue, kWhite}}));
}

TEST_F(Loader, ZeroHeightMakesAnEmptySurface) {
  BmpFile file = TwoByTwo24();
  file.height = 0;
  ASSERT_EQ(LoadBytes(file.Bytes()), 0);
  EXPECT_EQ(CurrentImage.height, 0);
  EXPECT_NE(CurrentImage.surfaceDc, nullptr);
}

TEST_F(Loader, CoreHeaderFieldsAreUnsigned16Bit) {
  BmpFile file;
  file.headerSize = 12;
  file.width = 1;
  file.height = 65535;
  file.bitCount = 24;
  file.pixels.assign(4, 0);  // one row; the rest of the image is missing
  ASSERT_EQ(LoadBytes(file.Bytes()), 0);
  EXPECT_EQ(CurrentImage.headerSize, 12u);
  EXPECT_EQ(CurrentImage.height, 65535);
  EXPECT_EQ(CurrentImage.width, 1);
  EXPECT_EQ(CurrentImage.compression, 0u);
}

TEST_F(Loader, CoreHeader24BitImageDraws) {
  BmpFile file = TwoByTwo24();
  file.headerSize = 12;
  ASSERT_EQ(LoadBytes(file.Bytes()), 0);
  EXPECT_EQ(SurfacePixels(), (Raster{{kBlue, kWhite}, {kRed, kGreen}}));
}

TEST_F(Loader, FailuresAndTheirTraces) {
  struct Case {
    const char* name;
    ByteVector bytes;
    std::vector<std::string> traces;  // the last traces, in order
  };
  const ByteVector whole = TwoByTwo24().Bytes();
  ByteVector reversed = whole;
  std::swap(reversed[0], reversed[1]);
  ByteVector lower = TwoByTwo24().Bytes();
  lower[0] = 'b';
  lower[1] = 'm';
  BmpFile tooLong = TwoByTwo24();
  tooLong.bfSize = 200;
  BmpFile tiny = TwoByTwo24();
  tiny.bfSize = 13;
  const Case cases[] = {
      {"empty", {}, {Cp932("読み込みエラー\n")}},
      {"13 bytes", ByteVector(whole.begin(), whole.begin() + 13), {Cp932("読み込みエラー\n")}},
      {"reversed signature", reversed, {Cp932("BITMAPではありません\n")}},
      {"lower-case signature", lower, {Cp932("BITMAPではありません\n")}},
      {"bfSize beyond the file", tooLong.Bytes(), {Cp932("読み込みエラー2\n"), "%d\n"}},
      {"bfSize below 14",
       tiny.Bytes(),
       {"%d byte\n", Cp932("%d 画像データまでのオフセット\n"), Cp932("メモリ確保エラー\n")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetCurrentImage();
    TraceRecorder trace;
    EXPECT_EQ(LoadBytes(c.bytes), -1);
    EXPECT_EQ(CurrentImage.surfaceDc, nullptr);
    ASSERT_GE(trace.formats().size(), c.traces.size());
    const std::vector<std::string> last(trace.formats().end() - static_cast<long>(c.traces.size()),
                                        trace.formats().end());
    EXPECT_EQ(last, c.traces);
  }
}

TEST_F(Loader, MissingFileFailsSilently) {
  TraceRecorder trace;
  EXPECT_EQ(LoadBitmapFile("/nonexistent/rastelle/none.bmp"), -1);
  EXPECT_TRUE(trace.formats().empty());
}

TEST_F(Loader, CompressionAboveThreeIsRefusedAfterTheHeaderTraces) {
  for (std::uint32_t compression : {4u, 5u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(compression);
    ResetCurrentImage();
    BmpFile file = TwoByTwo24();
    file.compression = compression;
    TraceRecorder trace;
    EXPECT_EQ(LoadBytes(file.Bytes()), -1);
    EXPECT_EQ(CurrentImage.surfaceDc, nullptr);
    EXPECT_EQ(CurrentImage.compression, compression);
    ASSERT_FALSE(trace.formats().empty());
    EXPECT_EQ(trace.formats().back(), Cp932("%x 重要のパレットのインデックス\n"));
  }
}

TEST_F(Loader, InfoHeaderTracesInOrder) {
  TraceRecorder trace;
  ASSERT_EQ(LoadBytes(TwoByTwo24().Bytes()), 0);
  const std::vector<std::string> expected = {
      "%d byte\n",
      Cp932("%d 画像データまでのオフセット\n"),
      Cp932("%d byte 情報ヘッダのサイズ\n"),
      Cp932("%d pix 画像の幅\n"),
      Cp932("%d pix 画像の高さ\n"),
      Cp932("%d bit 1画素あたりのbit数\n"),
      Cp932("%d 画像データのサイズ\n"),
      Cp932("%d 圧縮形式\n"),
      Cp932("%d ppm 水平解像度\n"),
      Cp932("%d ppm 垂直解像度\n"),
      Cp932("%d パレットの色数\n"),
      Cp932("%x 重要のパレットのインデックス\n"),
  };
  EXPECT_EQ(trace.formats(), expected);
}

TEST_F(Loader, CoreHeaderTraces) {
  BmpFile file = TwoByTwo24();
  file.headerSize = 12;
  TraceRecorder trace;
  ASSERT_EQ(LoadBytes(file.Bytes()), 0);
  const std::vector<std::string> expected = {
      "%d byte\n",
      Cp932("%d 画像データまでのオフセット\n"),
      Cp932("%d byte 情報ヘッダのサイズ\n"),
      "%s\n",
      Cp932("%d pix 画像の幅\n"),
      Cp932("%d pix 画像の高さ\n"),
      Cp932("%d bit 1画素あたりのbit数\n"),
  };
  EXPECT_EQ(trace.formats(), expected);
}

// Layouts without a renderer load as an unwritten surface of the declared size.
TEST_F(Loader, LayoutsWithoutRendererLoadBlank) {
  struct Case {
    std::uint16_t bitCount;
    std::uint32_t compression;
  };
  const Case cases[] = {{4, 1},  {4, 3}, {8, 2}, {8, 3},  {16, 1}, {16, 2},   {32, 1},
                        {32, 2}, {0, 0}, {2, 0}, {15, 0}, {48, 0}, {65535, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bitCount << " bits, compression " << c.compression);
    ResetCurrentImage();
    BmpFile file;
    file.width = 3;
    file.height = -2;
    file.bitCount = c.bitCount;
    file.compression = c.compression;
    file.palette.assign(1024, 0xFF);
    file.pixels.assign(64, 0xFF);
    ASSERT_EQ(LoadBytes(file.Bytes()), 0);
    EXPECT_EQ(CurrentImage.height, 2);
    EXPECT_EQ(SurfacePixels(), Raster(2, std::vector<COLORREF>(3, 0)));
  }
}

TEST_F(Loader, TwentyFourBitIgnoresCompressionCode) {
  BmpFile file = TwoByTwo24();
  file.compression = 3;
  ASSERT_EQ(LoadBytes(file.Bytes()), 0);
  EXPECT_EQ(SurfacePixels(), (Raster{{kBlue, kWhite}, {kRed, kGreen}}));
}

TEST_F(Loader, SecondLoadWithBadSignatureKeepsFirstBody) {
  ASSERT_EQ(LoadBytes(TwoByTwo24().Bytes()), 0);
  const std::uint8_t* body = CurrentImage.fileBody;
  DeleteDC(CurrentImage.surfaceDc);
  DeleteObject(CurrentImage.surfaceBitmap);
  CurrentImage.surfaceDc = nullptr;
  const std::string reversed =
      WriteTempFile({'M', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "reversed.bmp");
  EXPECT_EQ(LoadBitmapFile(reversed.c_str()), -1);
  EXPECT_EQ(CurrentImage.fileBody, body);
  EXPECT_EQ(CurrentImage.fileBodySize, 56u);
  EXPECT_EQ(CurrentImage.fileBody[0], 40);
}

TEST_F(Loader, BodyOfTruncatedReadHoldsOnlyWhatArrived) {
  BmpFile file = TwoByTwo24();
  file.bfSize = 0x7FFFFFFF;
  EXPECT_EQ(LoadBytes(file.Bytes()), -1);
  EXPECT_EQ(CurrentImage.pixelOffset, 40u);
  EXPECT_EQ(CurrentImage.fileBodySize, 0x7FFFFFFFu - 14);  // what the file declares
  EXPECT_EQ(CurrentImage.fileBodyRead, 56u);
}

TEST_F(Loader, FileLongerThanDeclaredSizeLoads) {
  BmpFile file = TwoByTwo24();
  file.trailing.assign(100, 0xAB);
  ASSERT_EQ(LoadBytes(file.Bytes()), 0);
  EXPECT_EQ(CurrentImage.fileBodySize, 56u);
}

TEST_F(Loader, LongerInfoHeadersUseTheFortyByteLayout) {
  for (std::uint32_t size : {108u, 124u}) {
    SCOPED_TRACE(size);
    ResetCurrentImage();
    BmpFile file = TwoByTwo24();
    file.headerSize = size;
    ASSERT_EQ(LoadBytes(file.Bytes()), 0);
    EXPECT_EQ(CurrentImage.headerSize, size);
    EXPECT_EQ(CurrentImage.pixelOffset, size);
    EXPECT_EQ(SurfacePixels(), (Raster{{kBlue, kWhite}, {kRed, kGreen}}));
  }
}

// A body too short for the header fields the loader needs is refused.
TEST_F(Loader, TruncatedHeadersAreRefused) {
  struct Case {
    std::uint32_t headerSize;
    std::uint32_t bodyBytes;
    int result;
  };
  const Case cases[] = {{12, 11, -1}, {12, 12, 0}, {40, 3, -1}, {40, 19, -1}, {40, 20, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.headerSize << " header, " << c.bodyBytes << " bytes");
    ResetCurrentImage();
    BmpFile file = TwoByTwo24();
    file.headerSize = c.headerSize;
    ByteVector bytes = file.Bytes();
    bytes.resize(14 + c.bodyBytes);
    PutLe32(bytes, 2, 14 + c.bodyBytes);
    EXPECT_EQ(LoadBytes(bytes), c.result);
  }
}

// Hostile sizes cost time and memory in proportion to the file, not to what it
// declares; a surface beyond what the platform makes fails the load.
TEST_F(Loader, HostileDeclaredSizesStayCheap) {
  struct Case {
    const char* name;
    std::int32_t width, height;
    std::optional<std::uint32_t> bfSize, bfOffBits;
    std::uint32_t headerSize;
    int result;
  };
  const Case cases[] = {
      {"3000000 x 2000000", 3000000, 2000000, {}, {}, 40, -1},
      {"height -2^31", 2, -2147483647 - 1, {}, {}, 40, -1},
      {"width -1", -1, 2, {}, {}, 40, -1},
      {"width 2^31-1", 2147483647, 2147483647, {}, {}, 40, -1},
      {"20000 x 20000", 20000, 20000, {}, {}, 40, -1},
      {"65535 x 16384", 65535, 16384, {}, {}, 40, -1},
      {"16384 x -16384", 16384, -16384, {}, {}, 40, 0},
      {"bfSize 2 GB", 2, 2, 0x80000000u, {}, 40, -1},
      {"bfSize 4 GB", 2, 2, 0xFFFFFFFFu, {}, 40, -1},
      {"bfOffBits below 14", 2, 2, {}, 3u, 40, 0},
      {"bfOffBits beyond the file", 2, 2, {}, 0xFFFFFFF0u, 40, 0},
      {"header size beyond the file", 2, 2, {}, {}, 0xFFFFFFFFu, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetCurrentImage();
    BmpFile file = TwoByTwo24();
    file.width = c.width;
    file.height = c.height;
    file.bfSize = c.bfSize;
    file.bfOffBits = c.bfOffBits;
    file.headerSize = c.headerSize;
    file.pixels.assign(1000, 0x5A);
    // A load that walked the declared size would run into the test's timeout.
    EXPECT_EQ(LoadBytes(file.Bytes()), c.result);
    // A surface that cannot be made fails the load, and none is left behind.
    EXPECT_EQ(CurrentImage.surfaceDc != nullptr, c.result == 0);
  }
}

}  // namespace
