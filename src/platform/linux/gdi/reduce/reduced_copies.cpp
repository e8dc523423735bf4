// Reduced copies of large bitmaps. One pass over the finest level at hand
// makes each level from the one before (2 x 2 means, rows streaming through
// two rows of scratch per level not kept) down to the level asked for, which
// is kept. The copies remember the bitmap's write count they were made at;
// once it differs, they are stale, and the next reduction makes them again.
#include "reduced_copies.h"

#include <algorithm>
#include <new>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "../../../memory.h"
#include "../bitmap_writes.h"
#include "../raster_pixels.h"

namespace {

constexpr int kMaxLevels = 30;

struct Copy {
  std::uint32_t* pixels = nullptr;
  std::size_t width = 0, height = 0;
};

}  // namespace

struct ReducedCopies {
  Copy levels[kMaxLevels + 1];  // levels[0] stays empty: level 0 is the bitmap
  int limit = 0;                // levels 1 to this take at most CopiesBudget
  std::uint64_t madeAt = 0;     // the bitmap's write count when the copies were made
};

namespace {

// The copies' memory comes from the memory module, like the bitmaps'.
std::uint32_t* AllocateCopyPixels(std::size_t bytes) {
  return static_cast<std::uint32_t*>(AllocateBlock(bytes));
}

void FreeCopyPixels(Copy& copy) {
  FreeBlock(copy.pixels, copy.width * copy.height * 4);
  copy = Copy{};
}

std::size_t LevelSize(std::size_t size, int level) { return ((size - 1) >> level) + 1; }

// How many source pixels the index-th column (or row) of a level stands for:
// 2^level, fewer for the last when the size is no multiple of it.
std::uint32_t Extent(std::size_t size, int level, std::size_t index) {
  return static_cast<std::uint32_t>(std::min<std::size_t>(std::size_t{1} << level, size - (index << level)));
}

// All levels together take at most 4/3 of a byte for each of the bitmap's
// pixels: a third of what the bitmap would take at 4 bytes a pixel.
std::size_t CopiesBudget(const HBITMAP__& bitmap) {
  return static_cast<std::size_t>(bitmap.width) * static_cast<std::size_t>(bitmap.height) * 4 / 3;
}

int Limit(const HBITMAP__& bitmap) {
  const auto width = static_cast<std::size_t>(bitmap.width);
  const auto height = static_cast<std::size_t>(bitmap.height);
  std::size_t total = 0;
  int level = 0;
  while (level < kMaxLevels && (LevelSize(width, level) > 1 || LevelSize(height, level) > 1)) {
    total += LevelSize(width, level + 1) * LevelSize(height, level + 1) * 4;
    if (total > CopiesBudget(bitmap)) break;
    ++level;
  }
  return level;
}

// The mean of up to four pixels, each weighed by the source pixels it stands
// for, rounded to nearest.
COLORREF Blend(const std::uint32_t* const pixels[4], const std::uint32_t weights[4]) {
  std::uint64_t sums[3] = {0, 0, 0};
  std::uint64_t total = 0;
  for (int i = 0; i < 4; ++i) {
    total += weights[i];
    for (int c = 0; c < 3; ++c) sums[c] += (*pixels[i] >> (8 * c) & 0xFF) * std::uint64_t{weights[i]};
  }
  COLORREF colour = 0;
  for (int c = 0; c < 3; ++c) colour |= static_cast<COLORREF>((sums[c] + total / 2) / total) << (8 * c);
  return colour;
}

// One row of level + 1 from rows a and b of level (b is a for the last row
// of an odd height, weighed 0 then).
struct RowPair {
  const std::uint32_t* a;
  const std::uint32_t* b;
  std::uint32_t heightA, heightB;  // the source rows each stands for
  std::size_t row;                 // the row made
};
void ReduceRow(const HBITMAP__& bitmap, int level, const RowPair& in, std::uint32_t* out);

// The plain mean of a 2 x 2 block, rounded up or down by offset (1 or 2).
std::uint32_t Mean4(std::uint32_t p, std::uint32_t q, std::uint32_t r, std::uint32_t s,
                    std::uint32_t offset) {
  std::uint32_t mean = 0;
  for (int c = 0; c < 32; c += 8) {
    const std::uint32_t sum = (p >> c & 0xFF) + (q >> c & 0xFF) + (r >> c & 0xFF) + (s >> c & 0xFF);
    mean |= (sum + offset) >> 2 << c;
  }
  return mean;
}

// The first `pairs` pixels of a row below from two rows of whole blocks.
// Halves are rounded up and down by turns, along a row and from row to row,
// so that level after level the rounding adds no bias.
void ReduceEvenly(const std::uint32_t* a, const std::uint32_t* b, std::size_t pairs, std::size_t row,
                  std::uint32_t* out) {
  std::size_t x = 0;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  const __m128i offsets =
      row % 2 == 0 ? _mm_set_epi16(2, 2, 2, 2, 1, 1, 1, 1) : _mm_set_epi16(1, 1, 1, 1, 2, 2, 2, 2);
  for (; x + 2 <= pairs; x += 2) {
    const __m128i a4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 2 * x));
    const __m128i b4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 2 * x));
    const __m128i left = _mm_add_epi16(_mm_unpacklo_epi8(a4, zero), _mm_unpacklo_epi8(b4, zero));
    const __m128i right = _mm_add_epi16(_mm_unpackhi_epi8(a4, zero), _mm_unpackhi_epi8(b4, zero));
    const __m128i sums = _mm_add_epi16(_mm_unpacklo_epi64(left, right), _mm_unpackhi_epi64(left, right));
    const __m128i means = _mm_srli_epi16(_mm_add_epi16(sums, offsets), 2);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(means, means));
  }
#endif
  for (; x < pairs; ++x) out[x] = Mean4(a[2 * x], a[2 * x + 1], b[2 * x], b[2 * x + 1], 1 + (x + row) % 2);
}

void ReduceRow(const HBITMAP__& bitmap, int level, const RowPair& in, std::uint32_t* out) {
  const auto fullWidth = static_cast<std::size_t>(bitmap.width);
  const std::size_t width = LevelSize(fullWidth, level);
  std::size_t x = 0;
  if (in.heightA == in.heightB) {  // whole blocks up to the last column
    x = (width - 1) / 2;
    ReduceEvenly(in.a, in.b, x, in.row, out);
  }
  for (; 2 * x < width; ++x) {
    const std::size_t left = 2 * x;
    const std::size_t right = std::min(left + 1, width - 1);
    const std::uint32_t widthLeft = Extent(fullWidth, level, left);
    const std::uint32_t widthRight = right != left ? Extent(fullWidth, level, right) : 0;
    const std::uint32_t* const pixels[4] = {in.a + left, in.a + right, in.b + left, in.b + right};
    const std::uint32_t weights[4] = {widthLeft * in.heightA, widthRight * in.heightA, widthLeft * in.heightB,
                                      widthRight * in.heightB};
    out[x] = Blend(pixels, weights);
  }
}

struct Cascade {
  const HBITMAP__& bitmap;
  ReducedCopies& copies;
  int start, kept;                                     // the level read from, the level made
  std::vector<std::uint32_t> scratch[kMaxLevels + 1];  // two rows of each level not kept
};

// A row of the level: of the bitmap itself as COLORREFs in scratch, the
// copies' own.
std::uint32_t* RowOf(Cascade& cascade, int level, std::size_t row) {
  const std::size_t width = LevelSize(static_cast<std::size_t>(cascade.bitmap.width), level);
  if (level == 0) {
    std::uint32_t* colours = cascade.scratch[0].data() + row % 2 * width;
    const std::uint8_t* bits = cascade.bitmap.bits + row * width * kBytesPerPixel;
    for (std::size_t x = 0; x < width; ++x) colours[x] = PixelAt(bits, x);
    return colours;
  }
  const Copy& copy = cascade.copies.levels[level];
  if (level == cascade.start || level == cascade.kept) return copy.pixels + row * width;
  return cascade.scratch[level].data() + row % 2 * width;
}

void MakeRow(Cascade& cascade, int level, std::size_t row) {
  const auto fullHeight = static_cast<std::size_t>(cascade.bitmap.height);
  const std::size_t finerHeight = LevelSize(fullHeight, level - 1);
  const std::uint32_t* a = RowOf(cascade, level - 1, 2 * row);
  const bool pair = 2 * row + 1 < finerHeight;
  const RowPair in{a, pair ? RowOf(cascade, level - 1, 2 * row + 1) : a,
                   Extent(fullHeight, level - 1, 2 * row),
                   pair ? Extent(fullHeight, level - 1, 2 * row + 1) : 0, row};
  ReduceRow(cascade.bitmap, level - 1, in, RowOf(cascade, level, row));
}

bool AllocateLevel(const HBITMAP__& bitmap, Copy& copy, int level) {
  const std::size_t width = LevelSize(static_cast<std::size_t>(bitmap.width), level);
  const std::size_t height = LevelSize(static_cast<std::size_t>(bitmap.height), level);
  copy.pixels = AllocateCopyPixels(width * height * 4);
  if (copy.pixels == nullptr) return false;
  copy.width = width;
  copy.height = height;
  return true;
}

// Makes the level from the finest level kept below it, or from the bitmap.
bool MakeLevel(const HBITMAP__& bitmap, ReducedCopies& copies, int level) {
  if (!AllocateLevel(bitmap, copies.levels[level], level)) return false;
  int start = level - 1;
  while (start > 0 && copies.levels[start].pixels == nullptr) --start;
  Cascade cascade{bitmap, copies, start, level, {}};
  if (start == 0) cascade.scratch[0].resize(2 * static_cast<std::size_t>(bitmap.width));
  for (int between = start + 1; between < level; ++between)
    cascade.scratch[between].resize(2 * LevelSize(static_cast<std::size_t>(bitmap.width), between));
  const std::size_t rows = LevelSize(static_cast<std::size_t>(bitmap.height), start + 1);
  for (std::size_t row = 0; row < rows; ++row) {
    MakeRow(cascade, start + 1, row);
    // A row that completes a pair, or ends its level, makes a row below.
    std::size_t made = row;
    for (int finer = start + 1; finer < level; ++finer) {
      const std::size_t height = LevelSize(static_cast<std::size_t>(bitmap.height), finer);
      if (made % 2 == 0 && made + 1 != height) break;
      made /= 2;
      MakeRow(cascade, finer + 1, made);
    }
  }
  return true;
}

void DropCopies(ReducedCopies& copies) {
  for (Copy& copy : copies.levels) FreeCopyPixels(copy);
}

// The copy at the given level, made if need be; null when it cannot be.
const Copy* CopyAt(HBITMAP bitmap, int level) {
  if (bitmap->reduced == nullptr) {
    bitmap->reduced = new (std::nothrow) ReducedCopies{};
    if (bitmap->reduced == nullptr) return nullptr;
    bitmap->reduced->limit = Limit(*bitmap);
  }
  ReducedCopies& copies = *bitmap->reduced;
  const std::uint64_t writes = BitmapWrites(*bitmap);
  if (copies.madeAt != writes) {
    DropCopies(copies);
    copies.madeAt = writes;
  }
  level = std::min(level, copies.limit);
  if (level == 0) return nullptr;
  if (copies.levels[level].pixels == nullptr && !MakeLevel(*bitmap, copies, level)) {
    DropCopies(copies);
    return nullptr;
  }
  return &copies.levels[level];
}

}  // namespace

LevelRaster ReductionSource(HDC source, std::int64_t sourceWidth, std::int64_t sourceHeight,
                            std::int64_t width, std::int64_t height) {
  const LevelRaster own = OwnRaster(source);
  HBITMAP bitmap = source->bitmap;
  if (bitmap == nullptr || bitmap->bits != source->bits) return own;
  // The finest level within the budget, but none with fewer pixels than
  // the destination along either axis.
  int level = 0;
  while (LevelSize(source->width, level) * LevelSize(source->height, level) > kMostPixelsRead) ++level;
  int coarsest = 0;
  while (coarsest < level && (sourceWidth >> (coarsest + 1)) >= width &&
         (sourceHeight >> (coarsest + 1)) >= height)
    ++coarsest;
  const Copy* copy = coarsest == 0 ? nullptr : CopyAt(bitmap, coarsest);
  if (copy == nullptr) return own;
  return {reinterpret_cast<const std::uint8_t*>(copy->pixels),
          copy->width,
          copy->height,
          static_cast<int>(copy - bitmap->reduced->levels),
          source->width,
          source->height,
          4};
}

void ReleaseReducedCopies(HBITMAP bitmap) {
  if (bitmap->reduced == nullptr) return;
  DropCopies(*bitmap->reduced);
  delete bitmap->reduced;
  bitmap->reduced = nullptr;
}

std::size_t ReducedCopyBytes(HBITMAP bitmap) {
  std::size_t bytes = 0;
  if (bitmap->reduced == nullptr) return 0;
  for (const Copy& copy : bitmap->reduced->levels) bytes += copy.width * copy.height * 4;
  return bytes;
}
