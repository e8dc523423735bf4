// The bitmap encoder. It writes the published layout byte by byte and shares
// nothing with the loader, so that the two can check each other.
#include "bitmap_writer.h"

#include <cstdio>
#include <limits>

namespace bmpgen {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3;
constexpr std::uint32_t kLcsSrgb = 0x73524742;  // 'sRGB'
constexpr std::uint32_t kLcsGmImages = 4;
constexpr std::int32_t kPixelsPerMetre = 2835;  // 72 dots per inch

constexpr std::string_view kLayoutNames[] = {"mono1",  "indexed4", "indexed8", "rle4",        "rle8",
                                             "rgb555", "rgb24",    "rgb32",    "bitfields16", "bitfields32"};
constexpr std::string_view kHeaderNames[] = {"info40", "info108", "info124", "core"};

unsigned BitsPerPixel(Layout layout) {
  switch (layout) {
    case Layout::Mono1:
      return 1;
    case Layout::Indexed4:
    case Layout::Rle4:
      return 4;
    case Layout::Indexed8:
    case Layout::Rle8:
      return 8;
    case Layout::Rgb555:
    case Layout::Bitfields16:
      return 16;
    case Layout::Rgb24:
      return 24;
    case Layout::Rgb32:
    case Layout::Bitfields32:
      return 32;
  }
  return 0;
}

std::uint32_t CompressionOf(Layout layout) {
  switch (layout) {
    case Layout::Rle8:
      return kBiRle8;
    case Layout::Rle4:
      return kBiRle4;
    case Layout::Bitfields16:
    case Layout::Bitfields32:
      return kBiBitfields;
    default:
      return kBiRgb;
  }
}

bool IsRunLength(Layout layout) { return layout == Layout::Rle4 || layout == Layout::Rle8; }

std::uint32_t PaletteEntries(Layout layout) {
  switch (BitsPerPixel(layout)) {
    case 1:
      return 2;
    case 4:
      return 16;
    case 8:
      return 256;
    default:
      return 0;
  }
}

// Red, green and blue masks of the bit-field layouts.
std::array<std::uint32_t, 3> MasksOf(Layout layout) {
  if (layout == Layout::Bitfields16) return {0xF800, 0x07E0, 0x001F};
  if (layout == Layout::Bitfields32) return {0x00FF0000, 0x0000FF00, 0x000000FF};
  return {0, 0, 0};
}

std::uint32_t HeaderBytes(Header header) {
  switch (header) {
    case Header::Info40:
      return 40;
    case Header::Info108:
      return 108;
    case Header::Info124:
      return 124;
    case Header::Core:
      return 12;
  }
  return 0;
}

// The fixed palettes. 4 bits: two levels of red, four of green, two of blue.
// 8 bits: a 6 x 6 x 6 cube, then 40 greys.
Colour PaletteColour(Layout layout, unsigned index) {
  switch (BitsPerPixel(layout)) {
    case 1:
      return index != 0 ? MakeColour(255, 255, 255) : 0;
    case 4:
      return MakeColour((index >> 3) * 255, (index >> 1 & 3) * 85, (index & 1) * 255);
    case 8:
      if (index >= 216) {
        const unsigned grey = ((index - 216) * 255 + 19) / 39;
        return MakeColour(grey, grey, grey);
      }
      return MakeColour(index / 36 * 51, index / 6 % 6 * 51, index % 6 * 51);
    default:
      return 0;
  }
}

constexpr unsigned kBayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// The palette index a picture colour is stored as.
unsigned IndexOf(unsigned bits, Colour c, std::uint32_t x, std::uint32_t y) {
  const unsigned r = RedOf(c), g = GreenOf(c), b = BlueOf(c);
  if (bits == 1) {
    const unsigned luma = (77 * r + 150 * g + 29 * b) >> 8;
    return luma >= kBayer4[y % 4][x % 4] * 16 + 8 ? 1 : 0;
  }
  if (bits == 4) return (r >= 128 ? 8 : 0) | (g + 42) / 85 << 1 | (b >= 128 ? 1 : 0);
  if (r == g && g == b) return 216 + (r * 39 + 127) / 255;
  return (r + 25) / 51 * 36 + (g + 25) / 51 * 6 + (b + 25) / 51;
}

void PutLe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  PutLe16(p, v);
  PutLe16(p + 2, v >> 16);
}

// Packs one row of the uncompressed layouts, fill bytes included (zero).
void PackRow(Layout layout, std::span<const Colour> row, std::uint32_t y, std::uint8_t* out) {
  const unsigned bits = BitsPerPixel(layout);
  const auto width = static_cast<std::uint32_t>(row.size());
  for (std::uint32_t x = 0; x < width; ++x) {
    const Colour c = row[x];
    const unsigned r = RedOf(c), g = GreenOf(c), b = BlueOf(c);
    switch (layout) {
      case Layout::Mono1:
      case Layout::Indexed4:
      case Layout::Indexed8: {
        const unsigned perByte = 8 / bits;
        const unsigned shift = 8 - bits * (x % perByte + 1);
        std::uint8_t& byte = out[x / perByte];
        if (x % perByte == 0) byte = 0;
        byte |= static_cast<std::uint8_t>(IndexOf(bits, c, x, y) << shift);
        break;
      }
      case Layout::Rgb555:
        PutLe16(out + 2 * x, (r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
        break;
      case Layout::Bitfields16:
        PutLe16(out + 2 * x, (r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
        break;
      case Layout::Rgb24:
        out[3 * x] = static_cast<std::uint8_t>(b);
        out[3 * x + 1] = static_cast<std::uint8_t>(g);
        out[3 * x + 2] = static_cast<std::uint8_t>(r);
        break;
      case Layout::Rgb32:
      case Layout::Bitfields32:
        PutLe32(out + 4 * x, r << 16 | g << 8 | b);
        break;
      default:
        break;
    }
  }
}

// Length of the run at i that one encoded item can draw, at most 255: equal
// indexes at 8 bits, two alternating indexes at 4 bits.
std::size_t RunAt(const std::vector<std::uint8_t>& idx, std::size_t i, unsigned bits) {
  const std::size_t limit = std::min<std::size_t>(idx.size() - i, 255);
  std::size_t n = 1;
  if (bits == 8) {
    while (n < limit && idx[i + n] == idx[i]) ++n;
  } else {
    while (n < limit && idx[i + n] == idx[i + n % 2]) ++n;
  }
  return n;
}

void EncodeRun(const std::vector<std::uint8_t>& idx, std::size_t i, std::size_t n, unsigned bits,
               std::vector<std::uint8_t>& out) {
  out.push_back(static_cast<std::uint8_t>(n));
  if (bits == 8) {
    out.push_back(idx[i]);
  } else {
    const std::uint8_t second = n > 1 ? idx[i + 1] : idx[i];
    out.push_back(static_cast<std::uint8_t>(idx[i] << 4 | second));
  }
}

// One row as encoded runs and absolute runs, then the end-of-line escape.
void EncodeRunLengthRow(const std::vector<std::uint8_t>& idx, unsigned bits, std::vector<std::uint8_t>& out) {
  std::size_t i = 0;
  while (i < idx.size()) {
    const std::size_t run = RunAt(idx, i, bits);
    if (run >= 3) {
      EncodeRun(idx, i, run, bits, out);
      i += run;
      continue;
    }
    // Gather the pixels up to the next run worth encoding.
    std::size_t j = i;
    while (j < idx.size() && j - i < 255 && RunAt(idx, j, bits) < 3) ++j;
    const std::size_t n = j - i;
    if (n < 3) {
      // Absolute runs hold 3 pixels at least: these go as short encoded runs.
      while (i < j) {
        const std::size_t m = std::min(RunAt(idx, i, bits), j - i);
        EncodeRun(idx, i, m, bits, out);
        i += m;
      }
      continue;
    }
    out.push_back(0);
    out.push_back(static_cast<std::uint8_t>(n));
    std::size_t bytes = 0;
    if (bits == 8) {
      out.insert(out.end(), idx.begin() + static_cast<std::ptrdiff_t>(i),
                 idx.begin() + static_cast<std::ptrdiff_t>(j));
      bytes = n;
    } else {
      for (std::size_t k = 0; k < n; k += 2) {
        const std::uint8_t low = k + 1 < n ? idx[i + k + 1] : 0;
        out.push_back(static_cast<std::uint8_t>(idx[i + k] << 4 | low));
        ++bytes;
      }
    }
    if (bytes % 2 != 0) out.push_back(0);
    i = j;
  }
  out.push_back(0);
  out.push_back(0);
}

class VectorSink : public ByteSink {
 public:
  void Write(const std::uint8_t* bytes, std::size_t count) override {
    data.insert(data.end(), bytes, bytes + count);
  }
  void Patch(std::size_t offset, const std::uint8_t* bytes, std::size_t count) override {
    std::copy(bytes, bytes + count, data.begin() + static_cast<std::ptrdiff_t>(offset));
  }
  bool ok() const override { return true; }
  std::vector<std::uint8_t> data;
};

class FileSink : public ByteSink {
 public:
  explicit FileSink(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {
    if (file_ != nullptr) std::setvbuf(file_, nullptr, _IOFBF, std::size_t{1} << 20);
    ok_ = file_ != nullptr;
  }
  ~FileSink() override { Close(); }
  void Write(const std::uint8_t* bytes, std::size_t count) override {
    if (ok_ && std::fwrite(bytes, 1, count, file_) != count) ok_ = false;
  }
  void Patch(std::size_t offset, const std::uint8_t* bytes, std::size_t count) override {
    if (!ok_) return;
    const long end = std::ftell(file_);
    ok_ = std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0 &&
          std::fwrite(bytes, 1, count, file_) == count && std::fseek(file_, end, SEEK_SET) == 0;
  }
  bool ok() const override { return ok_; }
  bool Close() {
    if (file_ != nullptr && std::fclose(file_) != 0) ok_ = false;
    file_ = nullptr;
    return ok_;
  }

 private:
  std::FILE* file_;
  bool ok_;
};

}  // namespace

std::string_view NameOf(Layout layout) { return kLayoutNames[static_cast<int>(layout)]; }
std::string_view NameOf(Header header) { return kHeaderNames[static_cast<int>(header)]; }

std::optional<Layout> LayoutNamed(std::string_view name) {
  for (Layout layout : kAllLayouts) {
    if (NameOf(layout) == name) return layout;
  }
  return std::nullopt;
}

std::optional<Header> HeaderNamed(std::string_view name) {
  for (Header header : kAllHeaders) {
    if (NameOf(header) == name) return header;
  }
  return std::nullopt;
}

bool HeaderFits(Layout layout, Header header) {
  if (header != Header::Core) return true;
  return layout == Layout::Mono1 || layout == Layout::Indexed4 || layout == Layout::Indexed8 ||
         layout == Layout::Rgb24;
}

std::string FormatProblem(const Format& format, std::uint32_t width, std::uint32_t height) {
  if (width == 0 || height == 0) return "width and height must be at least 1";
  if (format.header == Header::Core) {
    if (!HeaderFits(format.layout, format.header))
      return "a core header holds only 1, 4, 8 and 24-bit layouts";
    if (format.topDown) return "a core header has no top-down row order";
    if (width > 0xFFFF || height > 0xFFFF) return "a core header holds sizes up to 65535";
  }
  if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return "width and height must be below 2^31";
  const std::uint64_t rowBytes = (std::uint64_t{width} * BitsPerPixel(format.layout) + 31) / 32 * 4;
  if (rowBytes * height > 0xFFFFFF00u) return "the pixel data would not fit in a 32-bit file size";
  return {};
}

Colour StoredColour(Layout layout, Colour c, std::uint32_t x, std::uint32_t y) {
  const unsigned r = RedOf(c), g = GreenOf(c), b = BlueOf(c);
  switch (layout) {
    case Layout::Rgb555:
      return MakeColour(r & 0xF8, g & 0xF8, b & 0xF8);
    case Layout::Bitfields16:
      return MakeColour(r & 0xF8, g & 0xFC, b & 0xF8);
    case Layout::Rgb24:
    case Layout::Rgb32:
    case Layout::Bitfields32:
      return c;
    default:
      return PaletteColour(layout, IndexOf(BitsPerPixel(layout), c, x, y));
  }
}

void WriteBitmap(const Picture& picture, const Format& format, ByteSink& sink) {
  const Layout layout = format.layout;
  const unsigned bits = BitsPerPixel(layout);
  const std::uint32_t width = picture.width, height = picture.height;
  const std::uint32_t headerBytes = HeaderBytes(format.header);
  const bool core = format.header == Header::Core;
  const bool masksAfterHeader = CompressionOf(layout) == kBiBitfields && format.header == Header::Info40;
  const std::uint32_t paletteBytes = PaletteEntries(layout) * (core ? 3 : 4);
  const std::uint32_t offBits =
      static_cast<std::uint32_t>(kFileHeaderSize) + headerBytes + (masksAfterHeader ? 12 : 0) + paletteBytes;
  const std::uint64_t stride = (std::uint64_t{width} * bits + 31) / 32 * 4;
  const std::uint64_t rawImageBytes = stride * height;

  // File header and bitmap header; the sizes of a run-length stream are patched
  // in at the end.
  std::vector<std::uint8_t> head(offBits, 0);
  head[0] = 'B';
  head[1] = 'M';
  PutLe32(&head[2], static_cast<std::uint32_t>(offBits + rawImageBytes));
  PutLe32(&head[10], offBits);
  std::uint8_t* h = &head[kFileHeaderSize];
  PutLe32(h, headerBytes);
  if (core) {
    PutLe16(h + 4, width);
    PutLe16(h + 6, height);
    PutLe16(h + 8, 1);
    PutLe16(h + 10, bits);
  } else {
    PutLe32(h + 4, width);
    PutLe32(h + 8, format.topDown ? 0u - height : height);
    PutLe16(h + 12, 1);
    PutLe16(h + 14, bits);
    PutLe32(h + 16, CompressionOf(layout));
    PutLe32(h + 20, static_cast<std::uint32_t>(rawImageBytes));
    PutLe32(h + 24, kPixelsPerMetre);
    PutLe32(h + 28, kPixelsPerMetre);
    PutLe32(h + 32, PaletteEntries(layout));
    PutLe32(h + 36, 0);
    // The masks follow a 40-byte header and lie inside the longer ones.
    if (masksAfterHeader || headerBytes >= 108) {
      const auto masks = MasksOf(layout);
      for (int i = 0; i < 3; ++i) PutLe32(h + 40 + 4 * i, masks[static_cast<std::size_t>(i)]);
    }
    if (headerBytes >= 108) {
      PutLe32(h + 52, 0);  // no alpha mask
      PutLe32(h + 56, kLcsSrgb);
    }
    if (headerBytes >= 124) PutLe32(h + 108, kLcsGmImages);
  }
  std::uint8_t* palette = h + headerBytes + (masksAfterHeader ? 12 : 0);
  for (std::uint32_t i = 0; i < PaletteEntries(layout); ++i) {
    const Colour c = PaletteColour(layout, i);
    std::uint8_t* entry = palette + i * (core ? 3 : 4);
    entry[0] = static_cast<std::uint8_t>(BlueOf(c));
    entry[1] = static_cast<std::uint8_t>(GreenOf(c));
    entry[2] = static_cast<std::uint8_t>(RedOf(c));
  }
  sink.Write(head.data(), head.size());

  std::vector<Colour> row(width);
  std::vector<std::uint8_t> out;
  std::vector<std::uint8_t> indexes;
  std::uint64_t streamBytes = 0;
  for (std::uint32_t k = 0; k < height && sink.ok(); ++k) {
    const std::uint32_t y = format.topDown ? k : height - 1 - k;
    picture.drawRow(y, row);
    if (IsRunLength(layout)) {
      indexes.resize(width);
      for (std::uint32_t x = 0; x < width; ++x)
        indexes[x] = static_cast<std::uint8_t>(IndexOf(bits, row[x], x, y));
      out.clear();
      EncodeRunLengthRow(indexes, bits, out);
      if (k + 1 == height) {
        out.push_back(0);
        out.push_back(1);  // end of bitmap
      }
    } else {
      out.assign(stride, 0);
      PackRow(layout, row, y, out.data());
    }
    sink.Write(out.data(), out.size());
    streamBytes += out.size();
  }
  if (IsRunLength(layout)) {
    std::uint8_t field[4];
    PutLe32(field, static_cast<std::uint32_t>(offBits + streamBytes));
    sink.Patch(2, field, 4);
    PutLe32(field, static_cast<std::uint32_t>(streamBytes));
    sink.Patch(kFileHeaderSize + 20, field, 4);
  }
}

std::vector<std::uint8_t> EncodeBitmap(const Picture& picture, const Format& format) {
  VectorSink sink;
  WriteBitmap(picture, format, sink);
  return std::move(sink.data);
}

bool WriteBitmapFile(const Picture& picture, const Format& format, const std::string& path) {
  FileSink sink(path);
  WriteBitmap(picture, format, sink);
  return sink.Close();
}

}  // namespace bmpgen
