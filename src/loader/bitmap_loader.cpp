// Reads a bitmap file whole, interprets its file header and its core or info
// header into CurrentImage, creates the surface and hands the pixel data to the
// one renderer its layout calls for.
#include "bitmap_loader.h"

#include <algorithm>
#include <optional>

#include "../decode/renderers.h"
#include "../platform/input_file.h"
#include "../platform/little_endian.h"
#include "../platform/memory.h"
#include "../trace.h"
#include "bmp_format.h"
#include "trace_texts.h"

LoadedImage CurrentImage;

namespace {

// The heap grants no request above this many bytes, so a file size below the
// file header's own 14 bytes, which wraps, can never be allocated.
constexpr std::uint32_t kLargestAllocation = 0xFFFFFFE0u;

// The bytes of fileBody that were read.
Bytes Body() { return Bytes(CurrentImage.fileBody, CurrentImage.fileBodyRead); }

// A little-endian field of fileBody; a field that lies past the end reads as 0.
std::uint32_t BodyField(std::size_t offset, std::size_t size) {
  return LittleEndianReader(Body()).At(offset, size).value_or(0);
}

// The part of fileBody from offset to its end; empty when offset lies beyond it.
Bytes BodyFrom(std::uint32_t offset) {
  const Bytes body = Body();
  return offset > body.size() ? Bytes() : body.subspan(offset);
}

// How many bytes the open file holds after its header, so that a declared size
// far beyond the file costs no allocation of that size; nothing when that
// cannot be known beforehand (a pipe, say). The open file is asked, not its
// path, which may name another file by now.
std::optional<std::uint64_t> BytesAfterFileHeader(const InputFile& file) {
  const std::optional<std::uint64_t> size = file.Size();
  if (!size || *size < bmp::kFileHeaderSize) return std::nullopt;
  return *size - bmp::kFileHeaderSize;
}

// The first block for a stream of unknown length; it doubles while data keeps
// arriving.
constexpr std::size_t kFirstBlock = std::size_t{64} << 10;

// A block of memory being filled from the file, and how much of it is.
struct Filling {
  std::uint8_t* block = nullptr;
  std::size_t capacity = 0;
  std::size_t filled = 0;
};

// Reads up to limit bytes of a stream of unknown length into a block that grows
// with what arrives, so that a limit far beyond the data allocates nothing of
// that size. False when the block cannot grow.
bool ReadGrowing(InputFile& file, std::size_t limit, Filling& body) {
  for (;;) {
    body.filled += file.Read(body.block + body.filled, body.capacity - body.filled);
    if (body.filled < body.capacity || body.capacity == limit) return true;
    const std::size_t grown = body.capacity > limit / 2 ? limit : body.capacity * 2;
    void* larger = ResizeBlock(body.block, body.capacity, grown);
    if (larger == nullptr) return false;
    body.block = static_cast<std::uint8_t*>(larger);
    body.capacity = grown;
  }
}

// Gives back what the block holds beyond what was read. False when the
// system refuses even that.
bool FitToFilled(Filling& body) {
  if (body.filled == body.capacity) return true;
  void* fitted = ResizeBlock(body.block, body.capacity, body.filled);
  if (fitted == nullptr) return false;
  body.block = static_cast<std::uint8_t*>(fitted);
  body.capacity = body.filled;
  return true;
}

// Reads the rest of the file into a new fileBody. The block holds no more than
// the file has, however much the header declares: a file of known size is read
// with one call into a block of the smaller of the two sizes, anything else in
// a growing block.
int ReadFileBody(InputFile& file) {
  FreeBlock(CurrentImage.fileBody, CurrentImage.fileBodyRead);
  CurrentImage.fileBody = nullptr;
  CurrentImage.fileBodyRead = 0;
  const std::uint32_t declared = CurrentImage.fileBodySize;
  if (declared > kLargestAllocation) {
    TracePrint(kTraceAllocError);
    return -1;
  }
  const std::optional<std::uint64_t> present = BytesAfterFileHeader(file);
  Filling body;
  body.capacity = present ? static_cast<std::size_t>(std::min<std::uint64_t>(declared, *present))
                          : std::min<std::size_t>(declared, kFirstBlock);
  // A file of known size is mapped where it can be: its bytes are then the
  // system's cache of it, neither copied nor touched before they are used.
  body.block = present ? MapFileBlock(file, bmp::kFileHeaderSize, body.capacity) : nullptr;
  const bool mapped = body.block != nullptr;
  if (mapped) body.filled = body.capacity;
  if (!mapped) body.block = static_cast<std::uint8_t*>(AllocateBlock(body.capacity));
  bool allocated = body.block != nullptr;
  if (allocated && present && !mapped) body.filled = file.Read(body.block, body.capacity);
  if (allocated && !present) allocated = ReadGrowing(file, declared, body);
  if (allocated) allocated = FitToFilled(body);
  if (!allocated) {
    FreeBlock(body.block, body.capacity);
    TracePrint(kTraceAllocError);
    return -1;
  }
  CurrentImage.fileBody = body.block;
  CurrentImage.fileBodyRead = static_cast<std::uint32_t>(body.filled);
  // Another program wrote to the file since it was opened: the header read
  // and what arrived after it may be part old, part new.
  if (file.Changed()) {
    TracePrint(kTraceReadError2);
    return -1;
  }
  if (body.filled != declared) {
    TracePrint(kTraceReadError2);
    TracePrint(kTraceBytesRead, static_cast<int>(body.filled));
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
  return CurrentImage.fileBodyRead < bmp::kCoreHeaderSize ? -1 : 0;
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
  if (CurrentImage.fileBodyRead < bmp::kInfoFieldsUsed) return -1;
  return compression > BI_BITFIELDS ? -1 : 0;
}

// The surface of width x |height| pixels, compatible with the viewer window
// (or the screen before it exists). -1, with no surface left behind, when the
// platform cannot make it: a negative width, -2147483648 rows (a negative count
// to the platform), more pixels than it grants, or memory refused. A load that
// went on would show a blank area with a believable zoom as if it had worked.
int CreateSurface() {
  const std::uint32_t rows = CurrentImage.height < 0 ? 0u - static_cast<std::uint32_t>(CurrentImage.height)
                                                     : static_cast<std::uint32_t>(CurrentImage.height);
  HDC reference = GetDC(mainDialog);
  HDC surface = CreateCompatibleDC(reference);
  HBITMAP bitmap = CreateCompatibleBitmap(reference, CurrentImage.width, static_cast<int>(rows));
  ReleaseDC(mainDialog, reference);
  if (surface == nullptr || bitmap == nullptr) {
    if (surface != nullptr) DeleteDC(surface);
    if (bitmap != nullptr) DeleteObject(bitmap);
    return -1;
  }
  SelectObject(surface, bitmap);
  CurrentImage.surfaceDc = surface;
  CurrentImage.surfaceBitmap = bitmap;
  return 0;
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

// Reads the file: its header, checked, and the rest into a new fileBody.
int ReadFile(const char* path) {
  InputFile file;
  if (!file.Open(path)) return -1;
  std::uint8_t fileHeader[bmp::kFileHeaderSize];
  if (file.Read(fileHeader, sizeof fileHeader) != sizeof fileHeader) {
    TracePrint(kTraceReadError);
    return -1;
  }
  if (fileHeader[bmp::bfType] != 'B' || fileHeader[bmp::bfType + 1] != 'M') {
    TracePrint(kTraceNotBitmap);
    return -1;
  }
  const LittleEndianReader fields(fileHeader);
  const std::uint32_t bfSize = *fields.At(bmp::bfSize, 4);
  const std::uint32_t bfOffBits = *fields.At(bmp::bfOffBits, 4);
  TracePrint(kTraceFileSize, bfSize);
  TracePrint(kTraceOffBits, bfOffBits);
  CurrentImage.pixelOffset = bfOffBits - static_cast<std::uint32_t>(bmp::kFileHeaderSize);
  CurrentImage.fileBodySize = bfSize - static_cast<std::uint32_t>(bmp::kFileHeaderSize);
  return ReadFileBody(file);
}

// The load itself: every step from opening the file to the drawn surface. The
// file is closed before anything in it is interpreted.
int Load(const char* path) {
  if (ReadFile(path) != 0) return -1;

  CurrentImage.headerSize = BodyField(bmp::biSize, 4);
  TracePrint(kTraceHeaderSize, CurrentImage.headerSize);
  const int header = CurrentImage.headerSize == bmp::kCoreHeaderSize ? ReadCoreHeader() : ReadInfoHeader();
  if (header != 0) return -1;

  if (CreateSurface() != 0) return -1;
  DrawImage();
  // Another program cut the file short or wrote to it while it was being
  // drawn from its mapping: the picture would be made up, or torn between
  // two files. Nothing of it is kept.
  if (FileBlockChanged(CurrentImage.fileBody)) {
    TracePrint(kTraceReadError2);
    DeleteDC(CurrentImage.surfaceDc);
    DeleteObject(CurrentImage.surfaceBitmap);
    CurrentImage.surfaceDc = nullptr;
    FreeBlock(CurrentImage.fileBody, CurrentImage.fileBodyRead);
    CurrentImage.fileBody = nullptr;
    CurrentImage.fileBodyRead = 0;
    return -1;
  }
  // Wraps for -2147483648, which then stands for 2^31 rows.
  if (CurrentImage.height < 0) {
    CurrentImage.height = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(CurrentImage.height));
  }
  return 0;
}

}  // namespace

int LoadBitmapFile(const char* path) {
  const int result = Load(path);
  // Nothing reads the body after the load: a mapped file's pages need not be
  // held while the picture is shown.
  ReleaseBlockPages(CurrentImage.fileBody);
  return result;
}
