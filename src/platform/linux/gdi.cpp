// Device contexts, bitmaps and brushes of the drawing part.
#include "../win32.h"

#include <sys/mman.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// Large blocks are mappings of whole huge pages, aligned to a huge page and
// marked for transparent huge pages, so that a first touch costs one fault per
// 2 MiB instead of one per 4 KiB.
std::size_t MappedSize(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

void* MapHugePages(std::size_t size) {
  const std::size_t span = size + kHugePage;
  void* base = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (base == MAP_FAILED) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(base);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::size_t head = aligned - start;
  if (head != 0) munmap(base, head);
  if (span - head > size) munmap(reinterpret_cast<void*>(aligned + size), span - head - size);
  madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
  return reinterpret_cast<void*>(aligned);
}

// Fresh mappings come zero-filled from the kernel, and only the pages that
// are drawn on ever become resident, so a file declaring a large surface costs
// what it draws.
void* MapZeroed(std::size_t bytes) { return MapHugePages(MappedSize(bytes)); }

void UnmapZeroed(void* block, std::size_t bytes) { munmap(block, MappedSize(bytes)); }

// Large blocks from AllocateLargeBlock carry their size in front of them.
constexpr std::size_t kBlockHeader = 64;
struct BlockHeader {
  std::size_t size;  // of the whole allocation, header included
  bool mapped;       // a mapping of huge pages, else from malloc
};

void ShowBitmap(HDC dc, HBITMAP bitmap) {
  dc->bitmap = bitmap;
  dc->pixels = bitmap->pixels;
  dc->width = static_cast<std::size_t>(bitmap->width);
  dc->height = static_cast<std::size_t>(bitmap->height);
}

bool IsKind(HGDIOBJ object, GdiKind kind) {
  GdiKind actual;
  std::memcpy(&actual, object, sizeof actual);
  return actual == kind;
}

HBRUSH__ stockWhiteBrush{GdiKind::Brush, 0x00FFFFFF};

}  // namespace

void (*attachClientRaster)(HDC dc, HWND window);

HGDIOBJ GetStockObject(int object) { return object == WHITE_BRUSH ? &stockWhiteBrush : nullptr; }

HDC GetDC(HWND window) {
  HDC dc = new (std::nothrow) HDC__{};
  if (dc == nullptr) return nullptr;
  dc->window = window;
  if (window != nullptr && attachClientRaster != nullptr) attachClientRaster(dc, window);
  return dc;
}

int ReleaseDC(HWND, HDC dc) {
  if (dc == nullptr || dc->memory) return 0;
  delete dc;
  return 1;
}

HDC CreateCompatibleDC(HDC) {
  HDC dc = new (std::nothrow) HDC__{};
  if (dc == nullptr) return nullptr;
  dc->memory = true;
  dc->stockBitmap = HBITMAP__{GdiKind::Bitmap, 1, 1, &dc->stockPixel, sizeof dc->stockPixel, true, true};
  ShowBitmap(dc, &dc->stockBitmap);
  return dc;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width < 0 || height < 0) return nullptr;
  const std::size_t w = width == 0 ? 1 : static_cast<std::size_t>(width);
  const std::size_t h = height == 0 ? 1 : static_cast<std::size_t>(height);
  if (w > kMaxBitmapBytes / 4 / h) return nullptr;
  const std::size_t bytes = w * h * 4;
  void* pixels = bytes >= kHugePage ? MapZeroed(bytes) : std::calloc(1, bytes);
  if (pixels == nullptr) return nullptr;
  auto* bitmap = new (std::nothrow)
      HBITMAP__{GdiKind::Bitmap, static_cast<std::int32_t>(w), static_cast<std::int32_t>(h),
                static_cast<std::uint32_t*>(pixels), bytes, false, false};
  if (bitmap == nullptr) {
    if (bytes >= kHugePage) {
      UnmapZeroed(pixels, bytes);
    } else {
      std::free(pixels);
    }
  }
  return bitmap;
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  if (dc == nullptr || object == nullptr) return nullptr;
  if (IsKind(object, GdiKind::Brush)) {
    HBRUSH previous = dc->brush != nullptr ? dc->brush : &stockWhiteBrush;
    dc->brush = static_cast<HBRUSH>(object);
    return previous;
  }
  if (!IsKind(object, GdiKind::Bitmap) || !dc->memory) return nullptr;
  auto* bitmap = static_cast<HBITMAP>(object);
  if (bitmap->selected && bitmap != dc->bitmap) return nullptr;
  HBITMAP previous = dc->bitmap;
  previous->selected = false;
  bitmap->selected = true;
  ShowBitmap(dc, bitmap);
  return previous;
}

BOOL DeleteDC(HDC dc) {
  if (dc == nullptr || !dc->memory) return FALSE;
  dc->bitmap->selected = false;
  delete dc;
  return TRUE;
}

BOOL DeleteObject(HGDIOBJ object) {
  if (object == nullptr) return FALSE;
  if (IsKind(object, GdiKind::Brush)) {
    if (object != &stockWhiteBrush) delete static_cast<HBRUSH>(object);
    return TRUE;
  }
  if (!IsKind(object, GdiKind::Bitmap)) return FALSE;
  auto* bitmap = static_cast<HBITMAP>(object);
  if (bitmap->stock || bitmap->selected) return FALSE;
  if (bitmap->bytes >= kHugePage) {
    UnmapZeroed(bitmap->pixels, bitmap->bytes);
  } else {
    std::free(bitmap->pixels);
  }
  delete bitmap;
  return TRUE;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  if (dc == nullptr) return CLR_INVALID;
  const std::size_t column = static_cast<std::uint32_t>(x);
  const std::size_t row = static_cast<std::uint32_t>(y);
  if (column >= dc->width || row >= dc->height) return CLR_INVALID;
  return dc->pixels[row * dc->width + column];
}

void* AllocateLargeBlock(std::size_t bytes) {
  if (bytes > SIZE_MAX - kHugePage - kBlockHeader) return nullptr;
  const std::size_t total = bytes + kBlockHeader;
  const bool mapped = total >= kHugePage;
  void* base = mapped ? MapHugePages(MappedSize(total)) : std::malloc(total);
  if (base == nullptr) return nullptr;
  auto* header = static_cast<BlockHeader*>(base);
  *header = {mapped ? MappedSize(total) : total, mapped};
  return static_cast<char*>(base) + kBlockHeader;
}

void FreeLargeBlock(void* block) {
  if (block == nullptr) return;
  void* base = static_cast<char*>(block) - kBlockHeader;
  const BlockHeader header = *static_cast<BlockHeader*>(base);
  if (header.mapped) {
    munmap(base, header.size);
  } else {
    std::free(base);
  }
}
