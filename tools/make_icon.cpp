// Draws the viewer's icon, a framed landscape photograph (sky, sun, two
// hills in a white mat and a dark frame), and writes it as the icon file the
// resource script embeds (two 8-bit images, 16 x 16 and 32 x 32), as the PNG
// files of the desktop's icon theme and as a scalable SVG.
//
//   make_icon OUTPUT_FOLDER
//
// writes OUTPUT_FOLDER/viewer.ico, rastelle-N.png for N in 16, 32, 48, 64,
// 128 and 256, and rastelle.svg.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Rgba {
  std::uint8_t r, g, b, a;
  bool operator<(const Rgba& other) const {
    return std::array{r, g, b, a} < std::array{other.r, other.g, other.b, other.a};
  }
};

constexpr Rgba kFrame{0x33, 0x3D, 0x4A, 0xFF};
constexpr Rgba kMat{0xFF, 0xFF, 0xFF, 0xFF};
constexpr Rgba kSkyTop{0x2C, 0x7B, 0xE5, 0xFF};
constexpr Rgba kSkyHorizon{0xA6, 0xDB, 0xFA, 0xFF};
constexpr Rgba kSun{0xFF, 0xC8, 0x2E, 0xFF};
constexpr Rgba kFarHill{0x7F, 0xC8, 0x5A, 0xFF};
constexpr Rgba kNearHill{0x2E, 0x8B, 0x47, 0xFF};
constexpr Rgba kClear{0, 0, 0, 0};

// Where things lie in a picture of size x size pixels. The frame and the mat
// are whole pixels, so the small icons stay crisp; the landscape is placed in
// fractions of the photograph, x from its left and y from its top.
struct Layout {
  double frame, mat, corner;  // widths in pixels; the frame's corner radius
  double photoLeft, photoSize;
};

struct Ellipse {
  double x, y, rx, ry;  // centre and radii, in fractions of the photograph
  bool Covers(double px, double py) const {
    const double dx = (px - x) / rx, dy = (py - y) / ry;
    return dx * dx + dy * dy <= 1;
  }
};
constexpr Ellipse kSunDisc{0.70, 0.30, 0.14, 0.14};
constexpr Ellipse kFarHillShape{0.22, 1.02, 0.78, 0.44};
constexpr Ellipse kNearHillShape{0.95, 1.18, 0.85, 0.50};

Layout LayoutFor(int size) {
  const double frame = std::max(1L, std::lround(size / 32.0));
  const double mat = std::max(1L, std::lround(size / 16.0));
  // The icon file's images are opaque squares; the larger ones round the
  // frame's corners.
  const double corner = size >= 48 ? 3 * frame : 0;
  return {frame, mat, corner, frame + mat, size - 2 * (frame + mat)};
}

Rgba Mix(Rgba a, Rgba b, double t) {
  auto channel = [t](std::uint8_t from, std::uint8_t to) {
    return static_cast<std::uint8_t>(std::lround(from + (to - from) * t));
  };
  return {channel(a.r, b.r), channel(a.g, b.g), channel(a.b, b.b), channel(a.a, b.a)};
}

// How far the point (x, y) lies inside the picture's outline, a square of
// size x size pixels with corners rounded to the given radius; negative
// outside it.
double Depth(double size, double corner, double x, double y) {
  const double half = size / 2;
  const double qx = std::abs(x - half) - (half - corner), qy = std::abs(y - half) - (half - corner);
  const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0);
  return corner - outside;
}

// The colour at the point (x, y) of a picture of size x size pixels.
Rgba ColourAt(const Layout& layout, int size, double x, double y) {
  const double depth = Depth(size, layout.corner, x, y);
  if (depth < 0) return kClear;
  if (depth < layout.frame) return kFrame;
  if (depth < layout.frame + layout.mat) return kMat;
  const double px = (x - layout.photoLeft) / layout.photoSize;
  const double py = (y - layout.photoLeft) / layout.photoSize;
  if (kNearHillShape.Covers(px, py)) return kNearHill;
  if (kFarHillShape.Covers(px, py)) return kFarHill;
  if (kSunDisc.Covers(px, py)) return kSun;
  return Mix(kSkyTop, kSkyHorizon, std::clamp(py / 0.65, 0.0, 1.0));
}

// The picture, top row first. Small sizes take one sample at each pixel's
// centre, which keeps the few colours an 8-bit palette holds; larger ones
// average 4 x 4 samples for smooth edges.
std::vector<Rgba> Picture(int size) {
  const Layout layout = LayoutFor(size);
  const int samples = size <= 32 ? 1 : 4;
  std::vector<Rgba> pixels;
  pixels.reserve(static_cast<std::size_t>(size * size));
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      double sum[4] = {};
      for (int sy = 0; sy < samples; ++sy) {
        for (int sx = 0; sx < samples; ++sx) {
          const Rgba c = ColourAt(layout, size, x + (sx + 0.5) / samples, y + (sy + 0.5) / samples);
          // Weighted by coverage, so clear samples do not darken an edge.
          sum[0] += c.r * c.a, sum[1] += c.g * c.a, sum[2] += c.b * c.a, sum[3] += c.a;
        }
      }
      const auto channel = [&](double total) {
        return static_cast<std::uint8_t>(sum[3] == 0 ? 0 : std::lround(total / sum[3]));
      };
      pixels.push_back({channel(sum[0]), channel(sum[1]), channel(sum[2]),
                        static_cast<std::uint8_t>(std::lround(sum[3] / (samples * samples)))});
    }
  }
  return pixels;
}

void Put16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void Put32(Bytes& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

void Put32Be(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

// One icon image: an info header of twice the height (colour rows, then the
// mask rows), a 256-entry palette of the picture's colours, the 8-bit rows
// bottom-up and an all-zero AND mask, which makes every pixel opaque.
Bytes IconImage(int size) {
  const std::vector<Rgba> picture = Picture(size);
  std::map<Rgba, std::uint8_t> palette;
  for (const Rgba& c : picture) palette.emplace(c, 0);
  if (palette.size() > 256) return {};
  std::uint8_t next = 0;
  for (auto& [colour, index] : palette) index = next++;

  const std::uint32_t colourBytes = static_cast<std::uint32_t>(size * size);
  const std::uint32_t maskRowBytes = static_cast<std::uint32_t>((size + 31) / 32 * 4);
  const std::uint32_t maskBytes = maskRowBytes * static_cast<std::uint32_t>(size);
  Bytes out;
  Put32(out, 40);                                    // biSize
  Put32(out, static_cast<std::uint32_t>(size));      // biWidth
  Put32(out, static_cast<std::uint32_t>(size * 2));  // biHeight: colour and mask
  Put16(out, 1);                                     // biPlanes
  Put16(out, 8);                                     // biBitCount
  Put32(out, 0);                                     // biCompression
  Put32(out, colourBytes + maskBytes);               // biSizeImage
  Put32(out, 0);                                     // biXPelsPerMeter
  Put32(out, 0);                                     // biYPelsPerMeter
  Put32(out, 0);                                     // biClrUsed: all 256
  Put32(out, 0);                                     // biClrImportant
  for (const auto& [c, index] : palette) out.insert(out.end(), {c.b, c.g, c.r, 0});
  out.insert(out.end(), 4 * (256 - palette.size()), 0);
  for (int y = size - 1; y >= 0; --y) {
    for (int x = 0; x < size; ++x) out.push_back(palette.at(picture[static_cast<std::size_t>(y * size + x)]));
  }
  out.insert(out.end(), maskBytes, 0);
  return out;
}

Bytes IconFile(const std::vector<int>& sizes) {
  std::vector<Bytes> images;
  for (int size : sizes) {
    images.push_back(IconImage(size));
    if (images.back().empty()) return {};
  }
  Bytes out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // type: icon
  Put16(out, static_cast<std::uint32_t>(sizes.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    out.push_back(static_cast<std::uint8_t>(sizes[i]));  // bWidth
    out.push_back(static_cast<std::uint8_t>(sizes[i]));  // bHeight
    out.push_back(0);                                    // bColorCount: 256 colours
    out.push_back(0);                                    // bReserved
    Put16(out, 1);                                       // wPlanes
    Put16(out, 8);                                       // wBitCount
    Put32(out, static_cast<std::uint32_t>(images[i].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(images[i].size());
  }
  for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
  return out;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
  }
  return ~crc;
}

// Deflate's bits, least significant first; Huffman codes go in reversed.
class BitWriter {
 public:
  void Put(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) PutBit((value >> i) & 1);
  }
  void PutCode(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) PutBit((code >> i) & 1);
  }
  Bytes Finish() {
    if (used_ != 0) bytes_.push_back(current_);
    return std::move(bytes_);
  }

 private:
  void PutBit(std::uint32_t bit) {
    current_ |= static_cast<std::uint8_t>(bit << used_);
    if (++used_ == 8) {
      bytes_.push_back(current_);
      current_ = 0;
      used_ = 0;
    }
  }
  Bytes bytes_;
  std::uint8_t current_ = 0;
  int used_ = 0;
};

// A literal or length symbol in deflate's fixed Huffman code.
void PutFixedSymbol(BitWriter& bits, int symbol) {
  if (symbol < 144) {
    bits.PutCode(0x30 + symbol, 8);
  } else if (symbol < 256) {
    bits.PutCode(0x190 + symbol - 144, 9);
  } else if (symbol < 280) {
    bits.PutCode(symbol - 256, 7);
  } else {
    bits.PutCode(0xC0 + symbol - 280, 8);
  }
}

void PutMatch(BitWriter& bits, int length, int distance) {
  static constexpr int kLengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                        31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static constexpr int kLengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                         2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  static constexpr int kDistanceBase[] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                          33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                          1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
  int code = 28;
  while (kLengthBase[code] > length) --code;
  PutFixedSymbol(bits, 257 + code);
  bits.Put(static_cast<std::uint32_t>(length - kLengthBase[code]), kLengthExtra[code]);
  int distanceCode = 29;
  while (kDistanceBase[distanceCode] > distance) --distanceCode;
  bits.PutCode(static_cast<std::uint32_t>(distanceCode), 5);
  bits.Put(static_cast<std::uint32_t>(distance - kDistanceBase[distanceCode]),
           distanceCode < 4 ? 0 : distanceCode / 2 - 1);
}

// A zlib stream of data in one block of deflate's fixed code. A flat picture
// repeats itself: each position looks back one pixel and one row (the
// distances given) for the longest repetition.
Bytes Zlib(const Bytes& data, std::initializer_list<int> distances) {
  BitWriter bits;
  bits.Put(1, 1);  // final block
  bits.Put(1, 2);  // fixed Huffman code
  std::size_t at = 0;
  while (at < data.size()) {
    int bestLength = 0, bestDistance = 0;
    for (int distance : distances) {
      if (distance <= 0 || static_cast<std::size_t>(distance) > at || distance > 32768) continue;
      int length = 0;
      while (length < 258 && at + length < data.size() && data[at + length] == data[at + length - distance]) {
        ++length;
      }
      if (length > bestLength) bestLength = length, bestDistance = distance;
    }
    if (bestLength >= 3) {
      PutMatch(bits, bestLength, bestDistance);
      at += static_cast<std::size_t>(bestLength);
    } else {
      PutFixedSymbol(bits, data[at++]);
    }
  }
  PutFixedSymbol(bits, 256);  // end of block
  Bytes out = {0x78, 0x01};
  const Bytes deflated = bits.Finish();
  out.insert(out.end(), deflated.begin(), deflated.end());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : data) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  Put32Be(out, b << 16 | a);
  return out;
}

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
  Put32Be(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32Be(out, Crc32(out.data() + start, out.size() - start));
}

// A PNG of the picture: 8-bit RGBA, unfiltered rows.
Bytes PngFile(int size) {
  const std::vector<Rgba> picture = Picture(size);
  Bytes raw;
  for (int y = 0; y < size; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < size; ++x) {
      const Rgba c = picture[static_cast<std::size_t>(y * size + x)];
      raw.insert(raw.end(), {c.r, c.g, c.b, c.a});
    }
  }
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  Put32Be(header, static_cast<std::uint32_t>(size));
  Put32Be(header, static_cast<std::uint32_t>(size));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter choice, no interlace
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", Zlib(raw, {4, 1 + 4 * size}));
  PutChunk(out, "IEND", {});
  return out;
}

std::string Hex(Rgba c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c.r, c.g, c.b);
  return text;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// The same picture for any size, on a grid of 256 units.
std::string SvgFile() {
  constexpr int kSize = 256;
  const Layout l = LayoutFor(kSize);
  const auto photo = [&](double fraction) { return Number(l.photoLeft + fraction * l.photoSize); };
  const auto extent = [&](double fraction) { return Number(fraction * l.photoSize); };
  const auto ellipse = [&](const Ellipse& e, Rgba c) {
    return "    <ellipse cx=\"" + photo(e.x) + "\" cy=\"" + photo(e.y) + "\" rx=\"" + extent(e.rx) +
           "\" ry=\"" + extent(e.ry) + "\" fill=\"" + Hex(c) + "\"/>\n";
  };
  const std::string side = Number(l.photoSize), left = Number(l.photoLeft);
  std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" viewBox=\"0 0 256 256\">\n";
  svg += "  <defs>\n    <linearGradient id=\"sky\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"1\">\n";
  svg += "      <stop offset=\"0\" stop-color=\"" + Hex(kSkyTop) + "\"/>\n";
  svg += "      <stop offset=\"0.65\" stop-color=\"" + Hex(kSkyHorizon) + "\"/>\n    </linearGradient>\n";
  svg += "    <clipPath id=\"photo\"><rect x=\"" + left + "\" y=\"" + left + "\" width=\"" + side +
         "\" height=\"" + side + "\"/></clipPath>\n  </defs>\n";
  svg +=
      "  <rect width=\"256\" height=\"256\" rx=\"" + Number(l.corner) + "\" fill=\"" + Hex(kFrame) + "\"/>\n";
  svg += "  <rect x=\"" + Number(l.frame) + "\" y=\"" + Number(l.frame) + "\" width=\"" +
         Number(kSize - 2 * l.frame) + "\" height=\"" + Number(kSize - 2 * l.frame) + "\" rx=\"" +
         Number(std::max(0.0, l.corner - l.frame)) + "\" fill=\"" + Hex(kMat) + "\"/>\n";
  svg += "  <g clip-path=\"url(#photo)\">\n";
  svg += "    <rect x=\"" + left + "\" y=\"" + left + "\" width=\"" + side + "\" height=\"" + side +
         "\" fill=\"url(#sky)\"/>\n";
  svg += ellipse(kSunDisc, kSun) + ellipse(kFarHillShape, kFarHill) + ellipse(kNearHillShape, kNearHill);
  svg += "  </g>\n</svg>\n";
  return svg;
}

bool Write(const std::string& path, const Bytes& bytes) {
  if (bytes.empty()) return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon OUTPUT_FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  bool ok = Write(folder + "/viewer.ico", IconFile({16, 32}));
  for (int size : {16, 32, 48, 64, 128, 256}) {
    ok = ok && Write(folder + "/rastelle-" + Number(size) + ".png", PngFile(size));
  }
  const std::string svg = SvgFile();
  ok = ok && Write(folder + "/rastelle.svg", Bytes(svg.begin(), svg.end()));
  if (!ok) std::fprintf(stderr, "make_icon: cannot write to %s\n", argv[1]);
  return ok ? 0 : 1;
}
