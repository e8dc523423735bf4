// Device contexts, bitmaps and brushes of the drawing part.
#include <cstring>
#include <new>

#include "../../memory.h"
#include "../../win32.h"
#include "bitmap_writes.h"
#include "client_area.h"
#include "raster_pixels.h"
#include "reduce/exact_reduction.h"

namespace {

ClientAreaLookup clientAreaLookup = nullptr;

// The bitmap leaves its context; what the context wrote counts for it.
void Deselect(HBITMAP bitmap) {
  bitmap->writes = WriteCount(*bitmap);
  bitmap->dc->written = false;
  bitmap->dc = nullptr;
}

// The context draws on the bitmap from now on.
void ShowBitmap(HDC dc, HBITMAP bitmap) {
  if (dc->bitmap != nullptr) Deselect(dc->bitmap);
  bitmap->dc = dc;
  dc->bitmap = bitmap;
  dc->bits = bitmap->bits;
  dc->width = static_cast<std::size_t>(bitmap->width);
  dc->height = static_cast<std::size_t>(bitmap->height);
  dc->stride = dc->width * kBytesPerPixel;
  dc->layout = PixelLayout::kRgb;
  // Where something derived from the bitmap is kept, its next write is marked.
  dc->unmarkedColumns = bitmap->reduction != nullptr ? 0 : dc->width;
}

bool IsKind(HGDIOBJ object, GdiKind kind) {
  GdiKind actual;
  std::memcpy(&actual, object, sizeof actual);
  return actual == kind;
}

HBRUSH__ stockWhiteBrush{GdiKind::Brush, 0x00FFFFFF};

}  // namespace

void InstallClientAreaLookup(ClientAreaLookup lookup) { clientAreaLookup = lookup; }

HDC GetDC(HWND window) {
  HDC dc = new (std::nothrow) HDC__{};
  if (dc == nullptr) return nullptr;
  if (window != nullptr && clientAreaLookup != nullptr) {
    const ClientArea area = clientAreaLookup(window);
    dc->bits = area.bits;
    dc->width = area.bits != nullptr ? area.width : 0;
    dc->height = area.bits != nullptr ? area.height : 0;
    dc->stride = area.stride;
    dc->layout = PixelLayout::kXrgb;
    dc->dpi = area.dpi;
    dc->quick = area.quick;
  }
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
  dc->stockBitmap = HBITMAP__{GdiKind::Bitmap, 1, 1, dc->stockBits, sizeof dc->stockBits, true};
  ShowBitmap(dc, &dc->stockBitmap);
  return dc;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width < 0 || height < 0) return nullptr;
  const std::size_t w = width == 0 ? 1 : static_cast<std::size_t>(width);
  const std::size_t h = height == 0 ? 1 : static_cast<std::size_t>(height);
  if (w > kMaxBitmapPixels / h) return nullptr;
  const std::size_t bytes = RasterBytes(w, h);
  void* bits = AllocateZeroedBlock(bytes);
  if (bits == nullptr) return nullptr;
  auto* bitmap = new (std::nothrow) HBITMAP__{GdiKind::Bitmap,
                                              static_cast<std::int32_t>(w),
                                              static_cast<std::int32_t>(h),
                                              static_cast<std::uint8_t*>(bits),
                                              bytes,
                                              false};
  if (bitmap == nullptr) FreeBlock(bits, bytes);
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
  if (bitmap->dc != nullptr && bitmap->dc != dc) return nullptr;
  HBITMAP previous = dc->bitmap;
  if (bitmap != previous) ShowBitmap(dc, bitmap);
  return previous;
}

BOOL DeleteDC(HDC dc) {
  if (dc == nullptr || !dc->memory) return FALSE;
  Deselect(dc->bitmap);
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
  if (bitmap->stock || bitmap->dc != nullptr) return FALSE;
  ReleaseKeptReduction(bitmap);
  FreeBlock(bitmap->bits, bitmap->bytes);
  delete bitmap;
  return TRUE;
}

std::uint64_t WriteCount(const HBITMAP__& bitmap) {
  return bitmap.writes + (bitmap.dc != nullptr && bitmap.dc->written ? 1 : 0);
}

std::uint64_t WatchWrites(HBITMAP__& bitmap) {
  bitmap.writes = WriteCount(bitmap);
  if (bitmap.dc != nullptr) {
    bitmap.dc->written = false;
    bitmap.dc->unmarkedColumns = 0;
  }
  return bitmap.writes;
}

COLORREF SetPixelMarked(HDC dc, std::size_t column, std::size_t row, COLORREF colour) {
  if (column >= dc->width || row >= dc->height) return CLR_INVALID;
  dc->written = true;
  // A bitmap's next pixels go the quick way again, until something derived
  // from it is kept once more.
  if (dc->layout == PixelLayout::kRgb) dc->unmarkedColumns = dc->width;
  PutPixel(dc->layout, RowOf(dc, row), column, colour);
  return colour;
}

COLORREF GetPixel(HDC dc, int x, int y) {
  if (dc == nullptr) return CLR_INVALID;
  const std::size_t column = static_cast<std::uint32_t>(x);
  const std::size_t row = static_cast<std::uint32_t>(y);
  if (column >= dc->width || row >= dc->height) return CLR_INVALID;
  return PixelAt(dc->layout, RowOf(dc, row), column);
}
