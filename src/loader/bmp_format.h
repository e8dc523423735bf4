// Offsets and sizes of the published bitmap file structures, as read here.
// Offsets after the file header count from the first byte of fileBody, which
// is file offset 14.
#pragma once

#include <cstddef>

namespace bmp {

// BITMAPFILEHEADER, read into a local buffer and not kept.
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t bfType = 0;  // "B", "M"
constexpr std::size_t bfSize = 2;
// bfReserved1 (6) and bfReserved2 (8) are not read.
constexpr std::size_t bfOffBits = 10;

// BITMAPCOREHEADER.
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t bcSize = 0;
constexpr std::size_t bcWidth = 4;
constexpr std::size_t bcHeight = 6;
// bcPlanes (8) is not read.
constexpr std::size_t bcBitCount = 10;

// BITMAPINFOHEADER, also the layout of every longer info header.
constexpr std::size_t biSize = 0;
constexpr std::size_t biWidth = 4;
constexpr std::size_t biHeight = 8;
// biPlanes (12) is not read.
constexpr std::size_t biBitCount = 14;
constexpr std::size_t biCompression = 16;
constexpr std::size_t biSizeImage = 20;
constexpr std::size_t biXPelsPerMeter = 24;
constexpr std::size_t biYPelsPerMeter = 28;
constexpr std::size_t biClrUsed = 32;
constexpr std::size_t biClrImportant = 36;
// The fields the loader cannot do without end with biCompression.
constexpr std::size_t kInfoFieldsUsed = 20;

// The red, green and blue masks of bit-field images: right after a 40-byte
// header, and the header's own mask fields in the longer ones.
constexpr std::size_t kColourMasks = 40;
constexpr std::size_t kColourMasksSize = 12;

}  // namespace bmp
