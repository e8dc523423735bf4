#include "bmp_builder.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

void PutLe16(ByteVector& bytes, std::size_t offset, std::uint32_t value) {
  bytes[offset] = static_cast<std::uint8_t>(value);
  bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutLe32(ByteVector& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void AppendLe16(ByteVector& bytes, std::uint32_t value) {
  bytes.resize(bytes.size() + 2);
  PutLe16(bytes, bytes.size() - 2, value);
}

void AppendLe32(ByteVector& bytes, std::uint32_t value) {
  bytes.resize(bytes.size() + 4);
  PutLe32(bytes, bytes.size() - 4, value);
}

ByteVector BmpFile::Bytes() const {
  ByteVector header;
  if (headerSize == 12) {
    AppendLe32(header, 12);
    AppendLe16(header, static_cast<std::uint16_t>(width));
    AppendLe16(header, static_cast<std::uint16_t>(height));
    AppendLe16(header, 1);
    AppendLe16(header, bitCount);
  } else {
    AppendLe32(header, headerSize);
    AppendLe32(header, static_cast<std::uint32_t>(width));
    AppendLe32(header, static_cast<std::uint32_t>(height));
    AppendLe16(header, 1);
    AppendLe16(header, bitCount);
    AppendLe32(header, compression);
    AppendLe32(header, static_cast<std::uint32_t>(pixels.size()));
    AppendLe32(header, 2835);
    AppendLe32(header, 2835);
    AppendLe32(header, 0);
    AppendLe32(header, 0);
    header.insert(header.end(), headerTail.begin(), headerTail.end());
    if (header.size() < headerSize && headerSize <= 4096) header.resize(headerSize);
  }
  const std::uint32_t offBits = static_cast<std::uint32_t>(14 + header.size() + palette.size());
  const std::uint32_t size = static_cast<std::uint32_t>(offBits + pixels.size());
  ByteVector file{'B', 'M'};
  AppendLe32(file, bfSize.value_or(size));
  AppendLe32(file, 0);
  AppendLe32(file, bfOffBits.value_or(offBits));
  file.insert(file.end(), header.begin(), header.end());
  file.insert(file.end(), palette.begin(), palette.end());
  file.insert(file.end(), pixels.begin(), pixels.end());
  file.insert(file.end(), trailing.begin(), trailing.end());
  return file;
}

std::string WriteTempFile(const ByteVector& bytes, const std::string& name) {
  static const std::filesystem::path folder = [] {
    auto path = std::filesystem::temp_directory_path() / ("rastelle-tests-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  const std::string path = (folder / name).string();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

BmpFile TwoByTwo24() {
  BmpFile file;
  file.pixels = {
      0x00, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0, 0,  // red, green: the first stored row
      0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0, 0,  // blue, white
  };
  return file;
}
