// Run-length streams of 4-bit and 8-bit palette indexes. An item starts at an
// even offset with a count and a value: a count of 1 to 255 repeats the value
// (both halves in turn at 4 bits), a count of 0 with a value of 3 or more
// copies that many indexes, and (0, 0), (0, 1), (0, 2) are end of line, end of
// bitmap and delta. A run that reaches the width ends its row; an end of line
// right after such an automatic row end belongs to the row just finished. A
// delta only moves: it never ends a row, so a run after a delta to the edge
// lands beyond it. An item that does not lie whole inside the data is not
// drawn, and decoding stops there. Pixels past the width are not drawn.
#include <algorithm>

#include "../trace.h"
#include "raster.h"
#include "renderers.h"

namespace {

enum : std::uint8_t { kEndOfLine = 0, kEndOfBitmap = 1, kDelta = 2 };

template <unsigned BitsPerIndex>
class RunLengthWalk {
 public:
  RunLengthWalk(HDC surface, Bytes stream, Bytes palette, std::int32_t height, std::uint32_t width)
      : surface_(surface),
        stream_(stream),
        colours_(palette),
        rows_(RowsFromHeight(height)),
        width_(width),
        y_(rows_.first) {}

  void Run() {
    if (width_ == 0) return;
    std::size_t o = 0;
    bool rowJustEnded = false;
    while (row_ < rows_.count && stream_.size() - o >= 2) {
      const std::uint8_t count = stream_[o];
      const std::uint8_t value = stream_[o + 1];
      o += 2;
      const bool absorbEndOfLine = rowJustEnded;
      rowJustEnded = false;
      if (count != 0) {
        DrawEncoded(count, value);
      } else if (value == kEndOfLine) {
        if (!absorbEndOfLine) NextRows(1, o);
        continue;
      } else if (value == kEndOfBitmap) {
        return;
      } else if (value == kDelta) {
        if (stream_.size() - o < 2) return;
        x_ += stream_[o];
        const std::uint8_t down = stream_[o + 1];
        o += 2;
        if (down != 0 && !NextRows(down, o, x_)) return;
        continue;
      } else {
        // The index bytes, then one skipped byte if they are odd in number:
        // items start at even offsets.
        const std::size_t bytes = (std::size_t{value} * BitsPerIndex + 7) / 8;
        const std::size_t item = bytes + bytes % 2;
        if (stream_.size() - o < item) return;
        DrawAbsolute(stream_.data() + o, value);
        o += item;
      }
      if (x_ >= width_) {
        NextRows(1, o);
        rowJustEnded = true;
      }
    }
  }

 private:
  // An encoded run: its colours are looked up once, one index at 8 bits, the
  // two halves in turn at 4 bits, starting afresh with the high half.
  void DrawEncoded(unsigned count, std::uint8_t value) {
    const COLORREF even = colours_[BitsPerIndex == 8 ? value : value >> 4];
    const COLORREF odd = colours_[BitsPerIndex == 8 ? value : value & 0x0F];
    const std::uint64_t start = x_;
    const std::uint64_t end = std::min(start + count, width_);
    const std::int32_t y = y_;
    for (std::uint64_t x = start; x < end; ++x) {
      SetPixel(surface_, static_cast<int>(x), y, (x - start) % 2 == 0 ? even : odd);
    }
    x_ = start + count;
  }

  void DrawAbsolute(const std::uint8_t* indexes, unsigned count) {
    const std::uint64_t start = x_;
    const std::uint64_t end = std::min(start + count, width_);
    const std::int32_t y = y_;
    for (std::uint64_t x = start; x < end; ++x) {
      const std::uint64_t j = x - start;
      const unsigned index =
          BitsPerIndex == 8 ? indexes[j] : (j % 2 == 0 ? indexes[j / 2] >> 4 : indexes[j / 2] & 0x0F);
      SetPixel(surface_, static_cast<int>(x), y, colours_[index]);
    }
    x_ = start + count;
  }

  // Moves on by rows in stored order, to column x, with the stream read up to
  // offset at; false past the last row.
  bool NextRows(std::uint32_t rows, std::size_t at, std::uint64_t x = 0) {
    ReleasePagesBefore(stream_.data() + at);
    row_ += rows;
    x_ = x;
    if (row_ >= rows_.count) return false;
    y_ = static_cast<std::int32_t>(rows_.first + static_cast<std::int64_t>(rows_.step) * row_);
    return true;
  }

  HDC surface_;
  Bytes stream_;
  const PaletteColours<4, 1u << BitsPerIndex> colours_;
  RowOrder rows_;
  std::uint64_t width_;
  std::uint64_t x_ = 0;
  std::uint64_t row_ = 0;
  std::int32_t y_;
};

}  // namespace

void DrawRle4(HDC surface, Bytes stream, Bytes palette, std::int32_t height, std::uint32_t width) {
  TracePrint("%s\n", "RunLength 4 bits/pixel");
  RunLengthWalk<4>(surface, stream, palette, height, width).Run();
}

void DrawRle8(HDC surface, Bytes stream, Bytes palette, std::int32_t height, std::uint32_t width) {
  TracePrint("%s\n", "RunLength 8 bits/pixel");
  RunLengthWalk<8>(surface, stream, palette, height, width).Run();
}
