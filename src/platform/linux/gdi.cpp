// Device contexts, bitmaps and brushes of the drawing part.
#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "../win32.h"
#include "reduced_copies.h"

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

// Mappings given back are kept for the next request instead of returning to
// the kernel at once. The viewer releases the shown image just before it loads
// the next one; pages the kernel has just had back may be handed on (to the
// host of a virtual machine, say) and then cost far more at their next first
// touch than pages kept in place. At most two are kept (a raster and a file
// body). A request takes the smallest that is large enough and gives back what
// it does not need. A request that none can serve, and any small one, gives
// back what is kept, so nothing is held for long.
struct Spare {
  void* block;
  std::size_t size;  // a multiple of kHugePage
};
Spare spares[2];

void KeepSpare(void* block, std::size_t size) {
  for (Spare& spare : spares) {
    if (spare.block == nullptr) {
      spare = {block, size};
      return;
    }
  }
  // Full: the older one goes.
  munmap(spares[0].block, spares[0].size);
  spares[0] = spares[1];
  spares[1] = {block, size};
}

void ReleaseSpares() {
  for (Spare& spare : spares) {
    if (spare.block != nullptr) munmap(spare.block, spare.size);
    spare = {};
  }
}

// A mapping of size bytes: a spare if one is large enough, else fresh pages.
// reused tells which, since only fresh pages come zero-filled.
void* TakeMapping(std::size_t size, bool& reused) {
  Spare* best = nullptr;
  for (Spare& spare : spares) {
    if (spare.block != nullptr && spare.size >= size && (best == nullptr || spare.size < best->size))
      best = &spare;
  }
  reused = best != nullptr;
  if (best == nullptr) {
    ReleaseSpares();
    return MapHugePages(size);
  }
  void* block = best->block;
  if (best->size > size) munmap(static_cast<char*>(block) + size, best->size - size);
  *best = {};
  return block;
}

// Clears the pages of a kept mapping that are resident; the others have never
// been touched since the kernel mapped them, or were discarded, and read as
// zeros already. Clearing in place keeps the pages the last image drew on, and
// costs no more than that image did.
void ClearResidentPages(void* block, std::size_t size) {
  constexpr std::size_t kPage = 4096;
  constexpr std::size_t kWindowPages = 16384;  // 64 MiB looked at a time
  unsigned char resident[kWindowPages];
  auto* bytes = static_cast<unsigned char*>(block);
  for (std::size_t offset = 0; offset < size; offset += kWindowPages * kPage) {
    const std::size_t span = std::min(size - offset, kWindowPages * kPage);
    const std::size_t pages = span / kPage;
    if (mincore(bytes + offset, span, resident) != 0) {
      std::memset(bytes + offset, 0, span);
      continue;
    }
    for (std::size_t page = 0; page < pages;) {
      if ((resident[page] & 1) == 0) {
        ++page;
        continue;
      }
      const std::size_t first = page;
      while (page < pages && (resident[page] & 1) != 0) ++page;
      std::memset(bytes + offset + first * kPage, 0, (page - first) * kPage);
    }
  }
}

// Zero-filled memory of whole huge pages: fresh pages come zeroed from the
// kernel, and a kept mapping is cleared where it holds anything.
void* MapZeroed(std::size_t bytes) {
  bool reused = false;
  const std::size_t size = MappedSize(bytes);
  void* block = TakeMapping(size, reused);
  if (block != nullptr && reused) ClearResidentPages(block, size);
  return block;
}

void UnmapZeroed(void* block, std::size_t bytes) { KeepSpare(block, MappedSize(bytes)); }

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
  if (bytes < kHugePage) ReleaseSpares();
  void* pixels = bytes >= kHugePage ? MapZeroed(bytes) : std::calloc(1, bytes);
  if (pixels == nullptr) return nullptr;
  auto* bitmap = new (std::nothrow) HBITMAP__{GdiKind::Bitmap,
                                              static_cast<std::int32_t>(w),
                                              static_cast<std::int32_t>(h),
                                              static_cast<std::uint32_t*>(pixels),
                                              bytes,
                                              false,
                                              false};
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
  ReleaseReducedCopies(bitmap);
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
  bool reused = false;
  if (!mapped) ReleaseSpares();
  void* base = mapped ? TakeMapping(MappedSize(total), reused) : std::malloc(total);
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
    KeepSpare(base, header.size);
  } else {
    std::free(base);
  }
}
