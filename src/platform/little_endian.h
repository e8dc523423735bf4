// Spans of bytes and the little-endian values in them: bitmap files and the
// program's resources store every multi-byte field that way, at any byte
// address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

using Bytes = std::span<const std::uint8_t>;

// The unsigned value of the width (1 to 4) bytes at p, lowest first. The
// caller has made sure they are there; the decoders' inner loops read this way.
inline std::uint32_t LoadLe(const std::uint8_t* p, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) value |= std::uint32_t{p[i]} << (8 * i);
  return value;
}

// The same for the two widths the pixel loops read, spelled out so that the
// compiler makes one load of each.
inline std::uint32_t ReadLe16(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}
inline std::uint32_t ReadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Reads fields of a span of bytes, by offset or one after another, and never
// past its end: a field that does not lie wholly inside is not read.
class LittleEndianReader {
 public:
  explicit LittleEndianReader(Bytes bytes) : bytes_(bytes) {}

  // The field of width bytes at offset; nothing when it does not fit.
  std::optional<std::uint32_t> At(std::size_t offset, std::size_t width) const {
    if (offset > bytes_.size() || bytes_.size() - offset < width) return std::nullopt;
    return LoadLe(bytes_.data() + offset, width);
  }

  // The next field, as wide as T; false at the end, with nothing read.
  template <typename T>
  bool Read(T& value) {
    const std::optional<std::uint32_t> field = At(position_, sizeof(T));
    if (!field) return false;
    value = static_cast<T>(*field);
    position_ += sizeof(T);
    return true;
  }

  // Passes over count bytes; false when fewer are left.
  bool Skip(std::size_t count) {
    if (bytes_.size() - position_ < count) return false;
    position_ += count;
    return true;
  }

 private:
  Bytes bytes_;
  std::size_t position_ = 0;
};
