// Writes pictures as bitmap files in every stored layout the format defines:
// 1, 4 and 8-bit palettes, 4 and 8-bit run-length streams, 16-bit 5-5-5,
// 24-bit, 32-bit, and 16 and 32-bit colour masks, after a core header or a
// 40, 108 or 124-byte info header, bottom-up or top-down.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pictures.h"

namespace bmpgen {

enum class Layout { Mono1, Indexed4, Indexed8, Rle4, Rle8, Rgb555, Rgb24, Rgb32, Bitfields16, Bitfields32 };
enum class Header { Info40, Info108, Info124, Core };

inline constexpr std::array kAllLayouts = {
    Layout::Mono1,  Layout::Indexed4, Layout::Indexed8, Layout::Rle4,        Layout::Rle8,
    Layout::Rgb555, Layout::Rgb24,    Layout::Rgb32,    Layout::Bitfields16, Layout::Bitfields32};
inline constexpr std::array kAllHeaders = {Header::Info40, Header::Info108, Header::Info124, Header::Core};

std::string_view NameOf(Layout layout);
std::string_view NameOf(Header header);
std::optional<Layout> LayoutNamed(std::string_view name);
std::optional<Header> HeaderNamed(std::string_view name);

struct Format {
  Layout layout = Layout::Rgb24;
  Header header = Header::Info40;
  bool topDown = false;
};

// A core header holds only 1, 4, 8 and 24-bit layouts, 16-bit sizes and no
// row order but bottom-up.
bool HeaderFits(Layout layout, Header header);
// Empty when the format can hold a picture of that size, else why not.
std::string FormatProblem(const Format& format, std::uint32_t width, std::uint32_t height);

// The colour a faithful reader shows for a picture colour at (x, y) once it is
// stored in the layout: exact for 24 and 32 bits, the top bits of each
// component for 16 bits, the palette entry for the palette layouts, and black
// or white (ordered dither) for 1 bit.
Colour StoredColour(Layout layout, Colour colour, std::uint32_t x, std::uint32_t y);

// Where the bytes of a file go. Patch rewrites bytes already written (sizes
// known only once a run-length stream is complete).
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(const std::uint8_t* bytes, std::size_t count) = 0;
  virtual void Patch(std::size_t offset, const std::uint8_t* bytes, std::size_t count) = 0;
  virtual bool ok() const = 0;
};

// Writes the picture in the format; the format must fit (FormatProblem empty).
void WriteBitmap(const Picture& picture, const Format& format, ByteSink& sink);

std::vector<std::uint8_t> EncodeBitmap(const Picture& picture, const Format& format);
// False when the file cannot be written.
bool WriteBitmapFile(const Picture& picture, const Format& format, const std::string& path);

}  // namespace bmpgen
