// Builds bitmap files for tests, byte by byte, from the published layout. It
// shares nothing with the loader, so a mistake cannot hide in both.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using ByteVector = std::vector<std::uint8_t>;

struct BmpFile {
  std::uint32_t headerSize = 40;  // 12 writes a core header
  std::int32_t width = 2;
  std::int32_t height = 2;
  std::uint16_t bitCount = 24;
  std::uint32_t compression = 0;
  ByteVector headerTail;  // header bytes from offset 40 on (longer info headers)
  ByteVector palette;     // or colour masks: what follows the header
  ByteVector pixels;
  std::optional<std::uint32_t> bfSize;     // derived from the content unless set
  std::optional<std::uint32_t> bfOffBits;  // derived from the content unless set
  ByteVector trailing;                     // bytes after the declared file

  ByteVector Bytes() const;
};

void PutLe16(ByteVector& bytes, std::size_t offset, std::uint32_t value);
void PutLe32(ByteVector& bytes, std::size_t offset, std::uint32_t value);
void AppendLe16(ByteVector& bytes, std::uint32_t value);
void AppendLe32(ByteVector& bytes, std::uint32_t value);

// Writes bytes to a new file in a temporary folder and returns its path.
std::string WriteTempFile(const ByteVector& bytes, const std::string& name = "image.bmp");

// The 2 x 2 24-bit image stored as the rows red, green and blue, white, each
// followed by 2 fill bytes.
BmpFile TwoByTwo24();
