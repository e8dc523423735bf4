// Reads a bitmap file whole, interprets its file header and its core or info
// header into CurrentImage, creates the surface and hands the pixel data to the
// one renderer its layout calls for.
#include "bitmap_loader.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <optional>

#include "../decode/renderers.h"
#include "bmp_format.h"
#include "trace_texts.h"

LoadedImage CurrentImage;
HWND mainDialog;

namespace {

// The heap grants no request above this many bytes, so a file size below the
// file header's own 14 bytes, which wraps, can never be allocated.
constexpr std::uint32_t kLargestAllocation = 0xFFFFFFE0u;

// A little-endian field of fileBody; a field that lies past the end reads as 0.
std::uint32_t BodyField(std::size_t offset, std::size_t size) {
  if (offset > CurrentImage.fileBodySize || CurrentImage.fileBodySize - offset < size) return 0;
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i) value |= std::uint32_t{CurrentImage.fileBody[offset + i]} << (8 * i);
  return value;
}

// The part of fileBody from offset to its end; empty when offset lies beyond it.
Bytes BodyFrom(std::uint32_t offset) {
  if (offset > CurrentImage.fileBodySize) return {};
  return Bytes(CurrentImage.fileBody + offset, CurrentImage.fileBodySize - offset);
}

std::uint32_t HeaderField32(const std::uint8_t* header, std::size_t offset) {
  return std::uint32_t{header[offset]} | std::uint32_t{header[offset + 1]} << 8 |
         std::uint32_t{header[offset + 2]} << 16 | std::uint32_t{header[offset + 3]} << 24;
}

// How many bytes the open file holds after its header, so that a declared size
// far beyond the file costs no allocation of that size; nothing when that
// cannot be known beforehand (a pipe, say). The open stream is asked, not its
// path, which may name another file by now.
std::optional<std::uint64_t> BytesAfterFileHeader(std::FILE* file) {
#ifdef _WIN32
  struct _stat64 status;
  if (_fstat64(_fileno(file), &status) != 0 || (status.st_mode & _S_IFMT) != _S_IFREG) return std::nullopt;
#else
  struct stat status;
  if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
#endif
  if (status.st_size < static_cast<decltype(status.st_size)>(bmp::kFileHeaderSize)) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size) - bmp::kFileHeaderSize;
}

// The first block for a stream of unknown length; it doubles while data keeps
// arriving.
constexpr std::size_t kFirstBlock = std::size_t{64} << 10;

// Reads at most limit bytes of a stream of unknown length into a new block
// that grows with what arrives, so that a limit far beyond the data allocates
// nothing of that size. Null when a block cannot be had.
std::uint8_t* ReadGrowing(std::FILE* file, std::size_t limit, std::size_t* read) {
  std::size_t capacity = limit < kFirstBlock ? limit : kFirstBlock;
  auto* block = static_cast<std::uint8_t*>(AllocateLargeBlock(capacity));
  if (block == nullptr) return nullptr;
  std::size_t filled = 0;
  for (;;) {
    filled += std::fread(block + filled, 1, capacity - filled, file);
    if (filled < capacity || capacity == limit) break;
    const std::size_t grown = capacity > limit / 2 ? limit : capacity * 2;
    auto* larger = static_cast<std::uint8_t*>(AllocateLargeBlock(grown));
    if (larger == nullptr) {
      FreeLargeBlock(block);
      return nullptr;
    }
    std::memcpy(larger, block, filled);
    FreeLargeBlock(block);
    block = larger;
    capacity = grown;
  }
  *read = filled;
  return block;
}

// Reads the rest of the file into a new fileBody. The block holds no more than
// the file has, however much the header declares: a file of known size is read
// with one call into a block of the smaller of the two sizes, anything else in
// growing blocks.
int ReadFileBody(std::FILE* file) {
  if (CurrentImage.fileBody != nullptr) FreeLargeBlock(CurrentImage.fileBody);
  CurrentImage.fileBody = nullptr;
  const std::uint32_t declared = CurrentImage.fileBodySize;
  if (declared > kLargestAllocation) {
    TracePrint(kTraceAllocError);
    return -1;
  }
  std::size_t read = 0;
  if (const std::optional<std::uint64_t> present = BytesAfterFileHeader(file)) {
    const std::size_t toRead = declared < *present ? declared : static_cast<std::size_t>(*present);
    CurrentImage.fileBody = static_cast<std::uint8_t*>(AllocateLargeBlock(toRead));
    if (CurrentImage.fileBody != nullptr) read = std::fread(CurrentImage.fileBody, 1, toRead, file);
  } else {
    CurrentImage.fileBody = ReadGrowing(file, declared, &read);
  }
  if (CurrentImage.fileBody == nullptr) {
    TracePrint(kTraceAllocError);
    return -1;
  }
  if (read != declared) {
    TracePrint(kTraceReadError2);
    TracePrint(kTraceBytesRead, static_cast<int>(read));
    // Only the bytes that arrived are part of the body.
    CurrentImage.fileBodySize = static_cast<std::uint32_t>(read);
    return -1;
  }
  return 0;
}

// Interprets the core header; it is never refused for its content, only when
// the body is too short to hold it.
int ReadCoreHeader() {
  TracePrint(kTraceText, kTextCoreFormat);
  const std::uint32_t width = BodyField(bmp::bcWidth, 2);
  const std::uint32_t height = BodyField(bmp::bcHeight, 2);
  const std::uint32_t bitCount = BodyField(bmp::bcBitCount, 2);
  TracePrint(kTraceWidth, width);
  TracePrint(kTraceHeight, height);
  TracePrint(kTraceBitCount, bitCount);
  CurrentImage.compression = BI_RGB;
  CurrentImage.width = static_cast<std::int32_t>(width);
  CurrentImage.height = static_cast<std::int32_t>(height);
  CurrentImage.bitCount = bitCount;
  return CurrentImage.fileBodySize < bmp::kCoreHeaderSize ? -1 : 0;
}

// Interprets an info header of any size with the 40-byte layout; -1 for a
// compression code no renderer knows.
int ReadInfoHeader() {
  const std::uint32_t width = BodyField(bmp::biWidth, 4);
  const std::uint32_t height = BodyField(bmp::biHeight, 4);
  const std::uint32_t bitCount = BodyField(bmp::biBitCount, 2);
  const std::uint32_t compression = BodyField(bmp::biCompression, 4);
  TracePrint(kTraceWidth, width);
  TracePrint(kTraceHeight, height);
  TracePrint(kTraceBitCount, bitCount);
  TracePrint(kTraceSizeImage, BodyField(bmp::biSizeImage, 4));
  TracePrint(kTraceCompression, compression);
  TracePrint(kTraceXPels, BodyField(bmp::biXPelsPerMeter, 4));
  TracePrint(kTraceYPels, BodyField(bmp::biYPelsPerMeter, 4));
  TracePrint(kTraceClrUsed, BodyField(bmp::biClrUsed, 4));
  TracePrint(kTraceClrImportant, BodyField(bmp::biClrImportant, 4));
  CurrentImage.compression = compression;
  CurrentImage.width = static_cast<std::int32_t>(width);
  CurrentImage.height = static_cast<std::int32_t>(height);
  CurrentImage.bitCount = bitCount;
  if (CurrentImage.fileBodySize < bmp::kInfoFieldsUsed) return -1;
  return compression > BI_BITFIELDS ? -1 : 0;
}

// The surface of width x |height| pixels, compatible with the viewer window
// (or the screen before it exists).
void CreateSurface() {
  const std::uint32_t rows = CurrentImage.height < 0 ? 0u - static_cast<std::uint32_t>(CurrentImage.height)
                                                     : static_cast<std::uint32_t>(CurrentImage.height);
  HDC reference = GetDC(mainDialog);
  CurrentImage.surfaceDc = CreateCompatibleDC(reference);
  // -2147483648 rows cannot be made; the platform refuses the negative count.
  CurrentImage.surfaceBitmap = CreateCompatibleBitmap(reference, CurrentImage.width, static_cast<int>(rows));
  SelectObject(CurrentImage.surfaceDc, CurrentImage.surfaceBitmap);
  ReleaseDC(mainDialog, reference);
}

// Hands the pixel data to the renderer of the image's layout, if there is one.
void DrawImage() {
  const LoadedImage& image = CurrentImage;
  HDC surface = image.surfaceDc;
  const Bytes pixels = BodyFrom(image.pixelOffset);
  const bool core = image.headerSize == bmp::kCoreHeaderSize;
  const Bytes palette = BodyFrom(image.headerSize);  // 12 after a core header
  const std::int32_t height = image.height;
  const std::uint32_t width = static_cast<std::uint32_t>(image.width);
  const Bytes masks = BodyFrom(bmp::kColourMasks);
  const bool masksPresent = masks.size() >= bmp::kColourMasksSize;

  switch (image.bitCount) {
    case 1:
      DrawMono1(surface, pixels, height, width);
      break;
    case 4:
      if (core) {
        DrawIndexed4Core(surface, pixels, palette, height, width);
      } else if (image.compression == BI_RGB) {
        DrawIndexed4(surface, pixels, palette, height, width);
      } else if (image.compression == BI_RLE4) {
        DrawRle4(surface, pixels, palette, height, width);
      }
      break;
    case 8:
      if (core) {
        DrawIndexed8Core(surface, pixels, palette, height, width);
      } else if (image.compression == BI_RGB) {
        DrawIndexed8(surface, pixels, palette, height, width);
      } else if (image.compression == BI_RLE8) {
        DrawRle8(surface, pixels, palette, height, width);
      }
      break;
    case 16:
      if (image.compression == BI_RGB) {
        DrawRgb555(surface, pixels, height, width);
      } else if (image.compression == BI_BITFIELDS && masksPresent) {
        DrawBitfields16(surface, pixels, masks.first<bmp::kColourMasksSize>(), height, width);
      }
      break;
    case 24:
      DrawRgb24(surface, pixels, height, width);
      break;
    case 32:
      if (image.compression == BI_RGB) {
        DrawRgb32(surface, pixels, height, width);
      } else if (image.compression == BI_BITFIELDS && masksPresent) {
        DrawBitfields32(surface, pixels, masks.first<bmp::kColourMasksSize>(), height, width);
      }
      break;
    default:
      break;  // no renderer: the surface stays as created
  }
}

}  // namespace

TraceListener traceListener;

int TracePrint(const char* format, ...) {
  if (traceListener != nullptr) traceListener(format);
  return 0;
}

int LoadBitmapFile(const char* path) {
  std::FILE* file = OpenFileForReading(path);
  if (file == nullptr) return -1;

  std::uint8_t fileHeader[bmp::kFileHeaderSize];
  if (std::fread(fileHeader, 1, sizeof fileHeader, file) != sizeof fileHeader) {
    TracePrint(kTraceReadError);
    std::fclose(file);
    return -1;
  }
  if (fileHeader[bmp::bfType] != 'B' || fileHeader[bmp::bfType + 1] != 'M') {
    TracePrint(kTraceNotBitmap);
    std::fclose(file);
    return -1;
  }
  const std::uint32_t bfSize = HeaderField32(fileHeader, bmp::bfSize);
  const std::uint32_t bfOffBits = HeaderField32(fileHeader, bmp::bfOffBits);
  TracePrint(kTraceFileSize, bfSize);
  TracePrint(kTraceOffBits, bfOffBits);
  CurrentImage.pixelOffset = bfOffBits - static_cast<std::uint32_t>(bmp::kFileHeaderSize);
  CurrentImage.fileBodySize = bfSize - static_cast<std::uint32_t>(bmp::kFileHeaderSize);

  const int read = ReadFileBody(file);
  std::fclose(file);
  if (read != 0) return -1;

  CurrentImage.headerSize = BodyField(bmp::biSize, 4);
  TracePrint(kTraceHeaderSize, CurrentImage.headerSize);
  const int header = CurrentImage.headerSize == bmp::kCoreHeaderSize ? ReadCoreHeader() : ReadInfoHeader();
  if (header != 0) return -1;

  CreateSurface();
  DrawImage();
  // Wraps for -2147483648, which then stands for 2^31 rows.
  if (CurrentImage.height < 0) {
    CurrentImage.height = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(CurrentImage.height));
  }
  return 0;
}
