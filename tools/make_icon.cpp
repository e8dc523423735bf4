// Draws the viewer's icon, a few white vertical bars on a blue field, and
// writes it as the icon file the resource script embeds (two 8-bit images,
// 16 x 16 and 32 x 32) and as the PNG files a Linux desktop shows.
//
//   make_icon OUTPUT_FOLDER
//
// writes OUTPUT_FOLDER/viewer.ico, rastelle-16.png and rastelle-32.png.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Palette indices of the picture.
constexpr std::uint8_t kBlue = 1;
constexpr std::uint8_t kWhite = 2;

struct Rgb {
  std::uint8_t r, g, b;
};
constexpr std::array<Rgb, 3> kColours = {Rgb{0, 0, 0}, Rgb{0x1E, 0x50, 0xC8}, Rgb{0xFF, 0xFF, 0xFF}};

// The picture at size x size, top row first, as palette indices: three white
// bars, each an eighth of the side wide, standing on a blue field with a
// margin of a sixteenth of the side above and below.
std::vector<std::uint8_t> Picture(int size) {
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size * size), kBlue);
  const int bar = size / 8;
  const int margin = size / 16 + 1;
  for (int left : {size * 3 / 16, size * 7 / 16, size * 11 / 16}) {
    for (int y = margin; y < size - margin; ++y) {
      for (int x = left; x < left + bar; ++x) pixels[static_cast<std::size_t>(y * size + x)] = kWhite;
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
// mask rows), a 256-entry palette, the 8-bit rows bottom-up and an all-zero
// AND mask, which makes every pixel opaque.
Bytes IconImage(int size) {
  const std::vector<std::uint8_t> picture = Picture(size);
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
  for (std::size_t i = 0; i < 256; ++i) {
    const Rgb c = i < kColours.size() ? kColours[i] : Rgb{0, 0, 0};
    out.insert(out.end(), {c.b, c.g, c.r, 0});
  }
  for (int y = size - 1; y >= 0; --y) {
    out.insert(out.end(), picture.begin() + y * size, picture.begin() + (y + 1) * size);
  }
  out.insert(out.end(), maskBytes, 0);
  return out;
}

Bytes IconFile(const std::vector<int>& sizes) {
  std::vector<Bytes> images;
  for (int size : sizes) images.push_back(IconImage(size));
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

void PutChunk(Bytes& out, const char* type, const Bytes& data) {
  Put32Be(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  Put32Be(out, Crc32(out.data() + start, out.size() - start));
}

// A PNG of the picture: 8-bit RGB, the image data in stored deflate blocks,
// which every reader accepts and which need no compressor.
Bytes PngFile(int size) {
  const std::vector<std::uint8_t> picture = Picture(size);
  Bytes raw;
  for (int y = 0; y < size; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < size; ++x) {
      const Rgb c = kColours[picture[static_cast<std::size_t>(y * size + x)]];
      raw.insert(raw.end(), {c.r, c.g, c.b});
    }
  }
  Bytes zlib = {0x78, 0x01};
  for (std::size_t at = 0; at < raw.size(); at += 65535) {
    const std::size_t length = raw.size() - at < 65535 ? raw.size() - at : 65535;
    zlib.push_back(at + length == raw.size() ? 1 : 0);
    Put16(zlib, static_cast<std::uint32_t>(length));
    Put16(zlib, static_cast<std::uint32_t>(~length & 0xFFFF));
    zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                raw.begin() + static_cast<std::ptrdiff_t>(at + length));
  }
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t byte : raw) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  Put32Be(zlib, b << 16 | a);

  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  Put32Be(header, static_cast<std::uint32_t>(size));
  Put32Be(header, static_cast<std::uint32_t>(size));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, RGB, deflate, no filter choice, no interlace
  PutChunk(out, "IHDR", header);
  PutChunk(out, "IDAT", zlib);
  PutChunk(out, "IEND", {});
  return out;
}

bool Write(const std::string& path, const Bytes& bytes) {
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
  const bool ok = Write(folder + "/viewer.ico", IconFile({16, 32})) &&
                  Write(folder + "/rastelle-16.png", PngFile(16)) &&
                  Write(folder + "/rastelle-32.png", PngFile(32));
  if (!ok) std::fprintf(stderr, "make_icon: cannot write to %s\n", argv[1]);
  return ok ? 0 : 1;
}
