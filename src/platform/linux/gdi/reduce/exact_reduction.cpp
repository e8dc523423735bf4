// The exact reduction of a large bitmap, kept for the next paint: reduced into
// a raster of the destination's visible part, which is copied into the
// destination and kept with the bitmap's write count and the stretch it was
// made for.
#include "exact_reduction.h"

#include <cstring>
#include <new>

#include "../../../memory.h"
#include "../bitmap_writes.h"
#include "../raster_pixels.h"

struct KeptReduction {
  std::uint64_t writes;  // the bitmap's write count it was made at
  // The stretch it was made for, the destination's position taken out.
  std::int64_t width, height, columns, rows, firstColumn, firstRow;
  std::int64_t sourceX, sourceY, sourceWidth, sourceHeight;
  PixelLayout layout;  // the destination's, which the kept pixels have
  std::uint8_t* bits;  // columns x rows, the visible part of the destination
};

namespace {

// The stretch as it is kept: relative to the destination rectangle.
KeptReduction Geometry(const AreaStretch& s) {
  return {0,
          s.width,
          s.height,
          s.lastColumn - s.firstColumn,
          s.lastRow - s.firstRow,
          s.firstColumn - s.x,
          s.firstRow - s.y,
          s.sourceX,
          s.sourceY,
          s.sourceWidth,
          s.sourceHeight,
          s.destination->layout,
          nullptr};
}

bool SameGeometry(const KeptReduction& a, const KeptReduction& b) {
  return a.width == b.width && a.height == b.height && a.columns == b.columns && a.rows == b.rows &&
         a.firstColumn == b.firstColumn && a.firstRow == b.firstRow && a.sourceX == b.sourceX &&
         a.sourceY == b.sourceY && a.sourceWidth == b.sourceWidth && a.sourceHeight == b.sourceHeight &&
         a.layout == b.layout;
}

std::size_t RowBytes(const KeptReduction& kept) {
  return static_cast<std::size_t>(kept.columns) * BytesPerPixel(kept.layout);
}

std::size_t Bytes(const KeptReduction& kept) { return RowBytes(kept) * static_cast<std::size_t>(kept.rows); }

void Free(KeptReduction*& kept) {
  if (kept == nullptr) return;
  FreeBlock(kept->bits, Bytes(*kept));
  delete kept;
  kept = nullptr;
}

// Reduces the whole visible part of the destination into the kept raster.
void Reduce(const AreaStretch& s, HDC source, KeptReduction& kept) {
  HDC__ out{};
  out.bits = kept.bits;
  out.width = static_cast<std::size_t>(kept.columns);
  out.height = static_cast<std::size_t>(kept.rows);
  out.stride = RowBytes(kept);
  out.layout = kept.layout;
  const std::int64_t left = s.firstColumn, top = s.firstRow;
  const AreaStretch part{&out,      s.x - left, s.y - top, s.width,       s.height,      0, kept.columns, 0,
                         kept.rows, s.sourceX,  s.sourceY, s.sourceWidth, s.sourceHeight};
  StretchByArea(part, RasterOf(source));
}

void CopyInto(const AreaStretch& s, const KeptReduction& kept) {
  const std::size_t rowBytes = RowBytes(kept);
  for (std::int64_t r = 0; r < kept.rows; ++r)
    std::memcpy(DestinationRow(s, r), kept.bits + static_cast<std::size_t>(r) * rowBytes, rowBytes);
}

}  // namespace

bool CopyKeptReduction(const AreaStretch& s, HDC source) {
  const KeptReduction* kept = source->bitmap->reduction;
  if (kept == nullptr || kept->writes != WriteCount(*source->bitmap) || !SameGeometry(*kept, Geometry(s)))
    return false;
  CopyInto(s, *kept);
  return true;
}

void ReduceAndKeep(const AreaStretch& s, HDC source) {
  HBITMAP bitmap = source->bitmap;
  Free(bitmap->reduction);
  KeptReduction made = Geometry(s);
  made.bits = static_cast<std::uint8_t*>(AllocateBlock(Bytes(made)));
  if (made.bits == nullptr) {  // nothing to keep it in: straight onto the destination
    StretchByArea(s, RasterOf(source));
    return;
  }
  made.writes = WatchWrites(*bitmap);
  Reduce(s, source, made);
  CopyInto(s, made);
  bitmap->reduction = new (std::nothrow) KeptReduction(made);
  if (bitmap->reduction == nullptr) FreeBlock(made.bits, Bytes(made));
}

bool HasKeptReduction(const HBITMAP__& bitmap) {
  return bitmap.reduction != nullptr && bitmap.reduction->writes == WriteCount(bitmap);
}

void ReleaseKeptReduction(HBITMAP bitmap) { Free(bitmap->reduction); }
