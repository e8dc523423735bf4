// Hostile declarations. Whatever a file of n bytes declares, loading it takes
// time in proportion to n and the pixels drawn, and memory within the file,
// the surface and a small constant. A load that walked what the file declares
// instead of what it holds would run into the test's timeout. Memory is
// checked load by load: the resident peak is reset before each, and the
// address space is capped for its duration, so a mapping beyond the bound
// makes the load fail.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "loaded_image.h"
#include "process_memory.h"
#include "trace_listener.h"

namespace {

// What a load may use beyond the file and the surface: the sanitizer's
// bookkeeping, the stream buffer, the drawing context.
constexpr std::uint64_t kSmallConstant = 32 * kMiB;
constexpr std::int32_t kMaxInt = 2147483647;
constexpr std::int32_t kMinInt = -2147483647 - 1;
// The most rows a surface of one pixel's width can have.
const std::int32_t kTallest = TallestSurface(1);

// The most a surface of the declared size may take: 4 bytes a pixel (more
// than the drawing layer's rasters take), up to its largest raster.
std::uint64_t SurfaceBytes(std::int64_t width, std::int64_t height) {
  const std::uint64_t w = static_cast<std::uint64_t>(std::max<std::int64_t>(width < 0 ? -width : width, 1));
  const std::uint64_t h =
      static_cast<std::uint64_t>(std::max<std::int64_t>(height < 0 ? -height : height, 1));
  return std::min<std::uint64_t>(w * h, kMaxBitmapPixels) * 4;
}

// Runs load and checks what it cost: the growth of the resident peak, and of
// the address space through the cap. Returns the load's result.
template <typename Load>
int WithinBounds(std::uint64_t residentAllowed, std::uint64_t mappedAllowed, Load load) {
  ResetResidentPeak();
  const std::uint64_t before = ResidentBytes();
  const int result = WithAddressSpaceCap(mappedAllowed, load);
  const std::uint64_t peak = PeakResidentBytes();
  EXPECT_LE(peak - std::min(peak, before), residentAllowed) << "resident bytes beyond the bound";
  return result;
}

template <typename Load>
int WithinBounds(std::uint64_t allowed, Load load) {
  return WithinBounds(allowed, allowed, load);
}

// Loads bytes within the file, the surface and the constant.
int LoadWithinBounds(const ByteVector& bytes, std::uint64_t surfaceBytes) {
  return WithinBounds(bytes.size() + surfaceBytes + kSmallConstant, [&] { return LoadBytes(bytes); });
}

int LoadWithinBounds(const BmpFile& file) {
  return LoadWithinBounds(file.Bytes(), SurfaceBytes(file.width, file.height));
}

// Palette entry i holds blue i, so index i draws the colour i << 16.
ByteVector IndexPalette() {
  ByteVector palette;
  for (int i = 0; i < 256; ++i) palette.insert(palette.end(), {static_cast<std::uint8_t>(i), 0, 0, 0});
  return palette;
}

COLORREF Index(unsigned i) { return static_cast<COLORREF>(i) << 16; }

BmpFile RunLengthFile(std::uint16_t bitCount, std::int32_t width, std::int32_t height, ByteVector stream) {
  BmpFile file;
  file.bitCount = bitCount;
  file.compression = bitCount == 8 ? 1 : 2;
  file.width = width;
  file.height = height;
  file.palette = IndexPalette();
  file.pixels = std::move(stream);
  return file;
}

ByteVector Repeated(std::initializer_list<std::uint8_t> item, std::size_t bytes) {
  ByteVector stream;
  while (stream.size() < bytes) stream.insert(stream.end(), item);
  return stream;
}

ByteVector Thrice(const ByteVector& item) {
  ByteVector stream;
  for (int i = 0; i < 3; ++i) stream.insert(stream.end(), item.begin(), item.end());
  return stream;
}

struct Layout {
  const char* name;
  std::uint16_t bitCount;
  std::uint32_t compression;
};

// One layout for each renderer, and one without.
constexpr Layout kLayouts[] = {
    {"1 bit", 1, 0},
    {"4 bits", 4, 0},
    {"8 bits", 8, 0},
    {"4-bit run length", 4, 2},
    {"8-bit run length", 8, 1},
    {"16 bits 5-5-5", 16, 0},
    {"24 bits", 24, 0},
    {"32 bits", 32, 0},
    {"16-bit masks", 16, 3},
    {"32-bit masks", 32, 3},
    {"no renderer", 7, 0},
};

// Masks for the bit-field layouts, or an index palette, then pixel bytes that
// are also a run-length stream of runs of 17 pixels.
BmpFile LayoutFile(const Layout& layout, std::int32_t width, std::int32_t height) {
  BmpFile file;
  file.width = width;
  file.height = height;
  file.bitCount = layout.bitCount;
  file.compression = layout.compression;
  if (layout.compression == 3) {
    for (std::uint32_t mask : {0x7C00u, 0x03E0u, 0x001Fu}) AppendLe32(file.palette, mask);
  } else {
    file.palette = IndexPalette();
  }
  file.pixels.assign(256, 0x11);
  return file;
}

using Bounds = LoaderTest;

TEST_F(Bounds, DeclaredDimensionsCostOnlyWhatTheFileHolds) {
  const std::int32_t widths[] = {0, 1, 16384, 16385, 65535, kMaxInt, -1, -16384, kMinInt};
  const std::int32_t heights[] = {0, 1, -1, 16384, -16384, 65535, kMaxInt, -kMaxInt, kMinInt};
  for (const Layout& layout : kLayouts) {
    for (std::int32_t width : widths) {
      for (std::int32_t height : heights) {
        SCOPED_TRACE(testing::Message() << layout.name << ", " << width << " x " << height);
        ResetCurrentImage();
        const bool made = SurfaceCanBeMade(width, height);
        EXPECT_EQ(LoadWithinBounds(LayoutFile(layout, width, height)), made ? 0 : -1);
        EXPECT_EQ(CurrentImage.surfaceDc != nullptr, made);
      }
    }
  }
}

TEST_F(Bounds, CoreHeaderDimensionsUpTo65535) {
  const Layout layouts[] = {{"1 bit", 1, 0}, {"4 bits", 4, 0}, {"8 bits", 8, 0}, {"24 bits", 24, 0}};
  for (const Layout& layout : layouts) {
    for (std::int32_t width : {0, 1, 16384, 65535}) {
      for (std::int32_t height : {0, 1, 16384, 65535}) {
        SCOPED_TRACE(testing::Message() << layout.name << ", " << width << " x " << height);
        ResetCurrentImage();
        BmpFile file = LayoutFile(layout, width, height);
        file.headerSize = 12;
        file.palette.resize(768);
        EXPECT_EQ(LoadWithinBounds(file), SurfaceCanBeMade(width, height) ? 0 : -1);
        EXPECT_EQ(CurrentImage.height, height);
      }
    }
  }
}

TEST_F(Bounds, FileSizeAndPixelOffsetAnywhere) {
  const ByteVector image = TwoByTwo24().Bytes();  // 70 bytes
  const std::uint32_t fileSize = static_cast<std::uint32_t>(image.size());
  const std::uint32_t sizes[] = {0,           1,           13,          14,          15,          33,
                                 34,          35,          53,          54,          69,          70,
                                 71,          0x7FFFFFFFu, 0x80000000u, 0xFFFFFFE0u, 0xFFFFFFEEu, 0xFFFFFFF1u,
                                 0xFFFFFFF2u, 0xFFFFFFF3u, 0xFFFFFFFFu};
  const std::uint32_t offsets[] = {0,           1,           13,          14,          15,         53,
                                   54,          55,          68,          69,          70,         71,
                                   0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF1u, 0xFFFFFFF2u, 0xFFFFFFFFu};
  for (std::uint32_t size : sizes) {
    for (std::uint32_t offset : offsets) {
      SCOPED_TRACE(testing::Message() << "bfSize " << size << ", bfOffBits " << offset);
      ResetCurrentImage();
      ByteVector bytes = image;
      PutLe32(bytes, 2, size);
      PutLe32(bytes, 10, offset);
      // Below 14 nothing can be allocated, beyond the file nothing can be read,
      // and a body must hold the info header up to its compression code.
      const int expected = size < 14 + 20 || size > fileSize ? -1 : 0;
      EXPECT_EQ(LoadWithinBounds(bytes, SurfaceBytes(2, 2)), expected);
      if (CurrentImage.fileBody != nullptr) {
        EXPECT_LE(CurrentImage.fileBodyRead, fileSize - 14);
      }
    }
  }
}

TEST_F(Bounds, HeaderSizeAnywhere) {
  const std::uint32_t sizes[] = {
      0,  1,  4,   11,  12,   13,   16,   20,          39,          40,          41,          52,
      56, 64, 108, 124, 1000, 1400, 1500, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFF3u, 0xFFFFFFF4u, 0xFFFFFFFFu};
  for (const Layout& layout : kLayouts) {
    for (std::uint32_t size : sizes) {
      SCOPED_TRACE(testing::Message() << layout.name << ", header size " << size);
      ResetCurrentImage();
      BmpFile file = LayoutFile(layout, 5, -3);
      // Written as an info header of that size wherever one fits (12 writes a
      // core header); beyond, the field alone says so.
      file.headerSize = size;
      EXPECT_EQ(LoadWithinBounds(file), 0);
      EXPECT_EQ(CurrentImage.headerSize, size);
    }
  }
}

// Only 1, 4, 8, 16, 24 and 32 bits per pixel have a renderer; every other count
// of the 16-bit field loads an undrawn surface.
TEST_F(Bounds, EveryBitCount) {
  BmpFile file;
  file.width = 3;
  file.height = 2;
  file.palette.assign(1024, 0xFF);
  file.pixels.assign(24, 0xFF);
  // 65536 loads of one file in memory, patched in place, spare the disk.
  const ByteVector bytes = file.Bytes();
  const int fd = memfd_create("bit-counts", 0);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  const Raster blank(2, std::vector<COLORREF>(3, 0));
  int drawn = 0;
  for (std::uint32_t bitCount = 0; bitCount <= 0xFFFF; ++bitCount) {
    ResetCurrentImage();
    const std::uint8_t field[2] = {static_cast<std::uint8_t>(bitCount),
                                   static_cast<std::uint8_t>(bitCount >> 8)};
    ASSERT_EQ(pwrite(fd, field, 2, 14 + 14), 2);
    const int result = LoadBitmapFile(path.c_str());
    if (result != 0) {
      ADD_FAILURE() << "bit count " << bitCount << ": result " << result;
      continue;
    }
    const bool hasRenderer =
        bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
    if ((SurfacePixels() != blank) != hasRenderer) ADD_FAILURE() << "bit count " << bitCount;
    drawn += hasRenderer;
  }
  EXPECT_EQ(drawn, 6);
  close(fd);
}

TEST_F(Bounds, RunLengthStreamsOfEmptyPairsOnly) {
  const ByteVector zeros(1 << 20, 0);
  struct Size {
    std::int32_t width, height;
  };
  const Size sizes[] = {{4, 2},       {4, -2},      {1, kTallest}, {1, -kTallest}, {kTallest, 1},
                        {1, kMaxInt}, {kMaxInt, 1}, {-1, 1},       {-1, kMinInt}};
  for (std::uint16_t bitCount : {4, 8}) {
    for (const Size& size : sizes) {
      SCOPED_TRACE(testing::Message()
                   << bitCount << "-bit run length, " << size.width << " x " << size.height);
      ResetCurrentImage();
      ASSERT_EQ(LoadWithinBounds(RunLengthFile(bitCount, size.width, size.height, zeros)),
                SurfaceCanBeMade(size.width, size.height) ? 0 : -1);
      if (size.width == 4) {
        EXPECT_EQ(SurfacePixels(), Raster(2, std::vector<COLORREF>(4, 0)));
      }
    }
  }
}

// A run longer than the row draws the row's pixels and ends it; nothing of it
// reaches the next row.
TEST_F(Bounds, LongRunsOnTinyWidths) {
  struct Case {
    const char* name;
    std::uint16_t bitCount;
    ByteVector stream;
    Raster expected;  // 1 x 3, bottom-up
  };
  ByteVector absolute8 = {0, 255};
  for (int i = 0; i < 255; ++i) absolute8.push_back(static_cast<std::uint8_t>(i + 1));
  absolute8.push_back(0);
  ByteVector absolute4 = {0, 255};
  for (int i = 0; i < 128; ++i) absolute4.push_back(0x5A);
  const Case cases[] = {
      {"8-bit encoded runs", 8, {255, 1, 255, 2, 255, 3}, {{Index(3)}, {Index(2)}, {Index(1)}}},
      {"4-bit encoded runs", 4, {255, 0x12, 255, 0x34, 255, 0x56}, {{Index(5)}, {Index(3)}, {Index(1)}}},
      {"8-bit absolute runs", 8, Thrice(absolute8), {{Index(1)}, {Index(1)}, {Index(1)}}},
      {"4-bit absolute runs", 4, Thrice(absolute4), {{Index(5)}, {Index(5)}, {Index(5)}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetCurrentImage();
    ASSERT_EQ(LoadWithinBounds(RunLengthFile(c.bitCount, 1, 3, c.stream)), 0);
    EXPECT_EQ(SurfacePixels(), c.expected) << DescribeRaster(SurfacePixels());
  }
  // A megabyte of the longest runs over rows of one pixel, more rows than any
  // surface can have.
  for (std::uint16_t bitCount : {4, 8}) {
    for (std::int32_t height : {kTallest, -kTallest, 300000}) {
      SCOPED_TRACE(testing::Message() << bitCount << "-bit run length, height " << height);
      ResetCurrentImage();
      const BmpFile file = RunLengthFile(bitCount, 1, height, Repeated({255, 0x11}, 1 << 20));
      EXPECT_EQ(LoadWithinBounds(file), 0);
    }
  }
}

TEST_F(Bounds, DeltasFarPastTheImage) {
  struct Case {
    const char* name;
    ByteVector stream;
    Raster expected;  // 4 x 3, bottom-up
  };
  const COLORREF i1 = Index(1), i2 = Index(2);
  const Case cases[] = {
      {"right past the width: the next run falls outside and ends the row",
       {2, 1, 0, 2, 255, 0, 2, 2, 2, 2},
       {{0, 0, 0, 0}, {i2, i2, 0, 0}, {i1, i1, 0, 0}}},
      {"down past the last row ends the image",
       {2, 1, 0, 2, 0, 255, 2, 2, 2, 2, 2, 2},
       {{0, 0, 0, 0}, {0, 0, 0, 0}, {i1, i1, 0, 0}}},
      {"right and down as far as a delta goes",
       {2, 1, 0, 2, 255, 255, 2, 2},
       {{0, 0, 0, 0}, {0, 0, 0, 0}, {i1, i1, 0, 0}}},
      {"a delta cut off by the end of the stream",
       {2, 1, 0, 2, 1},
       {{0, 0, 0, 0}, {0, 0, 0, 0}, {i1, i1, 0, 0}}},
      {"a delta pair at the very end", {2, 1, 0, 2}, {{0, 0, 0, 0}, {0, 0, 0, 0}, {i1, i1, 0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetCurrentImage();
    ASSERT_EQ(LoadWithinBounds(RunLengthFile(8, 4, 3, c.stream)), 0);
    EXPECT_EQ(SurfacePixels(), c.expected) << DescribeRaster(SurfacePixels());
  }
  // A megabyte of deltas that go nowhere, that go right on a row no delta can
  // cross, and that go down past any surface.
  const ByteVector streams[] = {Repeated({0, 2, 0, 0}, 1 << 20), Repeated({0, 2, 255, 0}, 1 << 20),
                                Repeated({0, 2, 0, 255}, 1 << 20), Repeated({0, 2, 255, 255, 1, 9}, 1 << 20)};
  for (std::uint16_t bitCount : {4, 8}) {
    for (const ByteVector& stream : streams) {
      for (std::int32_t width : {1, 4, 16384}) {
        SCOPED_TRACE(testing::Message() << bitCount << "-bit run length, width " << width);
        ResetCurrentImage();
        EXPECT_EQ(LoadWithinBounds(RunLengthFile(bitCount, width, TallestSurface(width), stream)), 0);
      }
    }
  }
}

// Deltas of 32 rows that each draw one pixel touch every part of a large
// surface from a file of a few kilobytes; what that costs is the surface.
TEST_F(Bounds, SparsePixelsAllOverALargeSurface) {
  for (std::uint16_t bitCount : {4, 8}) {
    SCOPED_TRACE(testing::Message() << bitCount << "-bit run length");
    ResetCurrentImage();
    const BmpFile file = RunLengthFile(bitCount, 4096, 4096, Repeated({1, 0x11, 0, 2, 0, 32}, 3 * 1024));
    EXPECT_EQ(LoadWithinBounds(file), 0);
  }
}

// The viewer releases the shown surface just before it loads the next file.
// Files of a few bytes that declare the largest surface, dropped one after
// another, each cost what they hold: a load maps the surface but neither
// clears nor touches the part of it that it does not draw, so what becomes
// resident is the file, the few rows drawn and the constant, load after load.
TEST_F(Bounds, TinyFilesDeclaringTheLargestSurfaceOneAfterAnother) {
  BmpFile file = TwoByTwo24();
  file.width = 16384;
  file.height = -16384;
  const ByteVector bytes = file.Bytes();
  const std::string path = WriteTempFile(bytes);
  const std::uint64_t surface = SurfaceBytes(file.width, file.height);
  for (int i = 0; i < 20; ++i) {
    if (CurrentImage.surfaceDc != nullptr) {
      DeleteDC(CurrentImage.surfaceDc);
      DeleteObject(CurrentImage.surfaceBitmap);
      CurrentImage.surfaceDc = nullptr;
    }
    const int result = WithinBounds(bytes.size() + kSmallConstant, bytes.size() + surface + kSmallConstant,
                                    [&] { return LoadBitmapFile(path.c_str()); });
    ASSERT_EQ(result, 0) << "load " << i;
  }
  EXPECT_EQ(GetPixel(CurrentImage.surfaceDc, 1, 0), 0x00FF00u);  // the second pixel drawn, green
}

// A file whose length cannot be known beforehand, a pipe, costs what arrives,
// not what its header declares: the block that takes it grows in place, so
// what arrived is never held twice.
TEST_F(Bounds, PipeCostsWhatArrives) {
  struct Case {
    const char* name;
    std::optional<std::uint32_t> bfSize;
    std::size_t pixelBytes;
    int result;
  };
  const Case cases[] = {
      {"the size it holds", {}, 16, 0},
      {"a size it holds, 1 MiB", {}, 1 << 20, 0},
      {"2 GiB declared", 0x80000000u, 16, -1},
      {"4 GiB declared", 0xFFFFFFE0u, 16, -1},
      {"4 GiB declared, 1 MiB held", 0xFFFFFFE0u, 1 << 20, -1},
      {"4 GiB declared, 160 MiB held", 0xFFFFFFE0u, 160 << 20, -1},
  };
  const std::string path = WriteTempFile({}, "pipe.bmp");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetCurrentImage();
    BmpFile file = TwoByTwo24();
    file.pixels.resize(c.pixelBytes);
    file.bfSize = c.bfSize;
    const ByteVector bytes = file.Bytes();
    std::remove(path.c_str());
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    // The writer is another process, whose memory is not this one's.
    const pid_t writer = fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
      const int fd = open(path.c_str(), O_WRONLY);
      for (std::size_t done = 0; fd >= 0 && done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
      }
      _exit(0);
    }
    TraceRecorder trace;
    // The address space may hold the next, larger block before it fills.
    const int result = WithinBounds(bytes.size() + bytes.size() / 10 + SurfaceBytes(2, 2) + kSmallConstant,
                                    2 * bytes.size() + SurfaceBytes(2, 2) + kSmallConstant,
                                    [&] { return LoadBitmapFile(path.c_str()); });
    waitpid(writer, nullptr, 0);
    EXPECT_EQ(result, c.result);
    if (c.result == 0) {
      EXPECT_EQ(CurrentImage.fileBodySize, bytes.size() - 14);
      EXPECT_EQ(SurfacePixels(), (Raster{{0xFF0000, 0xFFFFFF}, {0x0000FF, 0x00FF00}}));
    } else {
      // Cut short, not refused: everything that arrived was taken in.
      ASSERT_GE(trace.formats().size(), 2u);
      EXPECT_EQ(trace.formats().end()[-2], Cp932("読み込みエラー2\n"));
      EXPECT_EQ(CurrentImage.fileBodyRead, bytes.size() - 14);
    }
  }
  std::remove(path.c_str());
}

// Memory the image record does not own goes back the moment it is let go: a
// large image released, as the viewer does before a drop, and a drop that fails
// leave the process where it was but for the kept file body.
TEST_F(Bounds, NothingIsKeptThatTheImageDoesNotOwn) {
  BmpFile file = TwoByTwo24();
  file.width = 4096;
  file.height = 2048;
  file.pixels.assign(std::size_t{4096} * 2048 * 3, 0x7F);
  const std::string large = WriteTempFile(file.Bytes(), "large.bmp");
  const std::string notBitmap = WriteTempFile({'M', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "mb.bmp");
  ASSERT_EQ(LoadBitmapFile(large.c_str()), 0);
  void* const surface = CurrentImage.surfaceBitmap->bits;
  const std::size_t surfaceBytes = CurrentImage.surfaceBitmap->bytes;
  DeleteDC(CurrentImage.surfaceDc);
  DeleteObject(CurrentImage.surfaceBitmap);
  CurrentImage.surfaceDc = nullptr;
  EXPECT_EQ(LoadBitmapFile(notBitmap.c_str()), -1);
  std::vector<unsigned char> resident(surfaceBytes / 4096 + 1);
  EXPECT_EQ(mincore(surface, surfaceBytes, resident.data()), -1) << "the released surface is still mapped";
}

// Whether any page of [block, block + bytes) is in this process's memory, by
// the page table (a mapped file's pages stay in the system's cache either way).
bool AnyPagePresent(const void* block, std::size_t bytes) {
  const int fd = open("/proc/self/pagemap", O_RDONLY);
  const auto first = reinterpret_cast<std::uintptr_t>(block) / 4096;
  const auto last = (reinterpret_cast<std::uintptr_t>(block) + bytes - 1) / 4096;
  bool present = false;
  for (std::uintptr_t page = first; page <= last && !present; ++page) {
    std::uint64_t entry = 0;
    if (pread(fd, &entry, sizeof entry, static_cast<off_t>(page * sizeof entry)) == sizeof entry)
      present = (entry >> 63) != 0;
  }
  close(fd);
  return present;
}

// The picture shown holds none of its file: the body was read once, to draw.
TEST_F(Bounds, AShownPictureHoldsNoneOfItsFile) {
  BmpFile file = TwoByTwo24();
  file.width = 1024;
  file.height = 1024;
  file.pixels.assign(std::size_t{1024} * 1024 * 3, 0x7F);
  ASSERT_EQ(LoadBytes(file.Bytes()), 0);
  EXPECT_FALSE(AnyPagePresent(CurrentImage.fileBody, CurrentImage.fileBodyRead));
}

// Another program writes to the file while it loads: the load fails rather
// than show a picture torn between the old bytes and the new. The trace marks
// the moments: the file header read, and the body read and about to be drawn.
std::string pathWrittenTo;
std::string formatToWriteAt;
void WriteToTheFileAt(const char* format) {
  if (format != formatToWriteAt) return;
  const int fd = open(pathWrittenTo.c_str(), O_WRONLY);
  const std::uint8_t black[3] = {0, 0, 0};
  if (fd >= 0 && pwrite(fd, black, sizeof black, 54) != 3) std::abort();
  close(fd);
}

TEST_F(Bounds, AFileWrittenToWhileItLoadsIsRefused) {
  const char* const moments[] = {"%d 画像データまでのオフセット\n", "%d byte 情報ヘッダのサイズ\n"};
  for (const char* moment : moments) {
    SCOPED_TRACE(moment);
    ResetCurrentImage();
    pathWrittenTo = WriteTempFile(TwoByTwo24().Bytes(), "written.bmp");
    formatToWriteAt = Cp932(moment);
    traceListener = WriteToTheFileAt;
    const int result = LoadBitmapFile(pathWrittenTo.c_str());
    traceListener = nullptr;
    EXPECT_EQ(result, -1);
    EXPECT_EQ(CurrentImage.surfaceDc, nullptr);
  }
}

}  // namespace
