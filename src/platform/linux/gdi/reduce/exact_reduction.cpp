// The exact reduction of a large bitmap, kept for the next paint. The
// destination rows are split between this thread and one other, each reading
// its own half of the source; the halves are reduced into a raster of the
// destination's visible part, which then is copied into the destination and
// kept.
#include "exact_reduction.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

#include "../../../memory.h"
#include "../bitmap_writes.h"
#include "../raster_pixels.h"

struct ExactResult {
  std::uint64_t writes;  // the bitmap's write count it was made at
  // The stretch it was made for, the destination's position taken out.
  std::int64_t width, height, columns, rows, firstColumn, firstRow;
  std::int64_t sourceX, sourceY, sourceWidth, sourceHeight;
  std::uint8_t* bits;  // columns x rows, the visible part of the destination
};

namespace {

// The stretch as it is kept: relative to the destination rectangle.
ExactResult Geometry(const AreaStretch& s) {
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
          nullptr};
}

bool SameGeometry(const ExactResult& a, const ExactResult& b) {
  return a.width == b.width && a.height == b.height && a.columns == b.columns && a.rows == b.rows &&
         a.firstColumn == b.firstColumn && a.firstRow == b.firstRow && a.sourceX == b.sourceX &&
         a.sourceY == b.sourceY && a.sourceWidth == b.sourceWidth && a.sourceHeight == b.sourceHeight;
}

std::size_t Bytes(const ExactResult& result) {
  return RasterBytes(static_cast<std::size_t>(result.columns), static_cast<std::size_t>(result.rows));
}

void Free(ExactResult*& result) {
  if (result == nullptr) return;
  FreeBlock(result->bits, Bytes(*result));
  delete result;
  result = nullptr;
}

// Rows [first, last) of the result, reduced from the source's own pixels.
void ReduceRows(const AreaStretch& s, const LevelRaster& source, HDC out, std::int64_t first,
                std::int64_t last) {
  const std::int64_t left = s.firstColumn, top = s.firstRow;
  const AreaStretch part{out,       s.x - left,          s.y - top,     s.width, s.height,
                         0,         s.lastColumn - left, first,         last,    s.sourceX,
                         s.sourceY, s.sourceWidth,       s.sourceHeight};
  StretchByArea(part, source);
}

// Fills the result's raster: half of the rows on another thread, where one
// can be started.
void Reduce(const AreaStretch& s, HDC source, ExactResult& result) {
  HDC__ out{};
  out.bits = result.bits;
  out.width = static_cast<std::size_t>(result.columns);
  out.height = static_cast<std::size_t>(result.rows);
  const LevelRaster whole = OwnRaster(source);
  const std::int64_t middle = result.rows / 2;
  std::thread other;
  if (middle > 0) {
    try {
      other = std::thread(ReduceRows, std::cref(s), std::cref(whole), &out, 0, middle);
    } catch (const std::system_error&) {
      ReduceRows(s, whole, &out, 0, middle);
    }
  }
  ReduceRows(s, whole, &out, middle, result.rows);
  if (other.joinable()) other.join();
}

void CopyInto(const AreaStretch& s, const ExactResult& result) {
  const std::size_t rowBytes = static_cast<std::size_t>(result.columns) * kBytesPerPixel;
  for (std::int64_t r = 0; r < result.rows; ++r)
    std::memcpy(DestinationRow(s, r), result.bits + static_cast<std::size_t>(r) * rowBytes, rowBytes);
}

}  // namespace

void StretchExactly(const AreaStretch& s, HDC source) {
  HBITMAP bitmap = source->bitmap;
  ExactResult wanted = Geometry(s);
  wanted.writes = BitmapWrites(*bitmap);
  ExactResult*& kept = bitmap->exact;
  if (kept != nullptr && kept->writes == wanted.writes && SameGeometry(*kept, wanted)) {
    CopyInto(s, *kept);
    return;
  }
  Free(kept);
  wanted.bits = static_cast<std::uint8_t*>(AllocateBlock(Bytes(wanted)));
  if (wanted.bits == nullptr) {  // nothing to keep it in: straight onto the destination
    StretchByArea(s, OwnRaster(source));
    return;
  }
  Reduce(s, source, wanted);
  CopyInto(s, wanted);
  kept = new (std::nothrow) ExactResult(wanted);
  if (kept == nullptr) FreeBlock(wanted.bits, Bytes(wanted));
}

bool HasExactResult(HBITMAP__& bitmap) {
  return bitmap.exact != nullptr && bitmap.exact->writes == BitmapWrites(bitmap);
}

void ReleaseExactResult(HBITMAP bitmap) { Free(bitmap->exact); }
