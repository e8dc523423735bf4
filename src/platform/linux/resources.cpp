// The program's resources: lookup by type, id and language in the table the
// build embeds, the dialog template's layout, and icon groups decoded for the
// desktop.
#include <map>
#include <memory>

#include "resource_table.h"
#include "window_state.h"

namespace {

HINSTANCE__ programModule{"rastelle"};

// An integer resource id travels as a pointer value below 0x10000.
bool IntegerId(LPCSTR name, WORD& id) {
  const auto value = reinterpret_cast<ULONG_PTR>(name);
  if (value > 0xFFFF) return false;
  id = static_cast<WORD>(value);
  return true;
}

const EmbeddedResource* Find(LPCSTR type, LPCSTR name, const WORD* language) {
  WORD typeId, nameId;
  if (!IntegerId(type, typeId) || !IntegerId(name, nameId)) return nullptr;
  for (std::size_t i = 0; i < kEmbeddedResourceCount; ++i) {
    const EmbeddedResource& entry = kEmbeddedResources[i];
    if (entry.type == typeId && entry.name == nameId &&
        (language == nullptr || entry.language == *language)) {
      return &entry;
    }
  }
  return nullptr;
}

const EmbeddedResource* Entry(HRSRC resource) { return reinterpret_cast<const EmbeddedResource*>(resource); }

// Little-endian reads that fail rather than read past the end.
class Reader {
 public:
  Reader(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  bool Skip(std::size_t count) {
    if (size_ - at_ < count) return Fail();
    at_ += count;
    return true;
  }
  bool Read(std::uint32_t& value, std::size_t width) {
    if (size_ - at_ < width) return Fail();
    value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= std::uint32_t{bytes_[at_ + i]} << (8 * i);
    at_ += width;
    return true;
  }
  template <typename T>
  bool Read(T& value) {
    std::uint32_t wide;
    if (!Read(wide, sizeof(T))) return false;
    value = static_cast<T>(wide);
    return true;
  }
  // A NUL-terminated UTF-16 string.
  bool ReadString(std::u16string& text) {
    text.clear();
    for (std::uint16_t unit; Read(unit);) {
      if (unit == 0) return true;
      text.push_back(static_cast<char16_t>(unit));
    }
    return false;
  }
  // A menu or class field: 0 (none), 0xFFFF and an id, or a string.
  bool SkipNameOrId() {
    std::uint16_t first;
    if (!Read(first)) return false;
    if (first == 0) return true;
    if (first == 0xFFFF) return Skip(2);
    std::u16string rest;
    return ReadString(rest);
  }
  bool ok() const { return ok_; }

 private:
  bool Fail() {
    ok_ = false;
    return false;
  }
  const std::uint8_t* bytes_;
  std::size_t size_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

// One image of an icon: a DIB of twice the image's height, colours (1, 4 or 8
// bits through a palette, or 32 bits) then the AND mask, both bottom-up.
bool DecodeIconImage(const std::uint8_t* bytes, std::size_t size, IconImage& image) {
  Reader header(bytes, size);
  std::uint32_t headerSize, bitCount, compression, colours;
  std::int32_t width, doubleHeight;
  if (!header.Read(headerSize) || !header.Read(width) || !header.Read(doubleHeight) || !header.Skip(2) ||
      !header.Read(bitCount, 2) || !header.Read(compression) || !header.Skip(12) || !header.Read(colours)) {
    return false;
  }
  const int height = doubleHeight / 2;
  if (headerSize < 40 || headerSize > size || compression != 0 || width <= 0 || height <= 0 || width > 256 ||
      height > 256 || (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 32)) {
    return false;
  }
  const std::size_t paletteEntries = bitCount == 32 ? 0 : (colours != 0 ? colours : 1u << bitCount);
  if (paletteEntries > 256) return false;
  const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  const std::size_t colourStride = (w * bitCount + 31) / 32 * 4;
  const std::size_t maskStride = (w + 31) / 32 * 4;
  const std::size_t palette = headerSize;
  const std::size_t colourRows = palette + paletteEntries * 4;
  const std::size_t maskRows = colourRows + colourStride * h;
  if (maskRows + maskStride * h > size) return false;

  image = IconImage{width, height, std::vector<std::uint32_t>(w * h)};
  for (std::size_t y = 0; y < h; ++y) {
    const std::uint8_t* row = bytes + colourRows + (h - 1 - y) * colourStride;
    const std::uint8_t* mask = bytes + maskRows + (h - 1 - y) * maskStride;
    for (std::size_t x = 0; x < w; ++x) {
      std::uint32_t pixel;
      if (bitCount == 32) {
        pixel = std::uint32_t{row[x * 4]} | std::uint32_t{row[x * 4 + 1]} << 8 |
                std::uint32_t{row[x * 4 + 2]} << 16 | std::uint32_t{row[x * 4 + 3]} << 24;
      } else {
        const std::size_t bit = x * bitCount;
        const unsigned index = (row[bit / 8] >> (8 - bitCount - bit % 8)) & ((1u << bitCount) - 1);
        const std::uint8_t* entry = bytes + palette + 4 * (index < paletteEntries ? index : 0);
        pixel = std::uint32_t{entry[0]} | std::uint32_t{entry[1]} << 8 | std::uint32_t{entry[2]} << 16;
        const bool transparent = (mask[x / 8] >> (7 - x % 8)) & 1;
        if (!transparent) pixel |= 0xFF000000;
      }
      image.argb[y * w + x] = pixel;
    }
  }
  return true;
}

// Icon groups loaded so far; their handles are shared and never destroyed.
std::map<WORD, std::unique_ptr<HICON__>> loadedIcons;

}  // namespace

HMODULE GetModuleHandleA(LPCSTR name) { return name == nullptr ? &programModule : nullptr; }

HRSRC FindResourceA(HMODULE, LPCSTR name, LPCSTR type) {
  return reinterpret_cast<HRSRC>(const_cast<EmbeddedResource*>(Find(type, name, nullptr)));
}

HRSRC FindResourceExA(HMODULE, LPCSTR type, LPCSTR name, WORD language) {
  return reinterpret_cast<HRSRC>(const_cast<EmbeddedResource*>(Find(type, name, &language)));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  return resource == nullptr ? nullptr : const_cast<unsigned char*>(Entry(resource)->data);
}

LPVOID LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE, HRSRC resource) {
  return resource == nullptr ? 0 : static_cast<DWORD>(Entry(resource)->size);
}

HICON LoadIconA(HINSTANCE instance, LPCSTR name) {
  WORD id;
  if (!IntegerId(name, id)) return nullptr;
  if (auto found = loadedIcons.find(id); found != loadedIcons.end()) return found->second.get();
  HRSRC group = FindResourceA(instance, name, RT_GROUP_ICON);
  if (group == nullptr) return nullptr;
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(instance, group)));
  Reader directory(bytes, SizeofResource(instance, group));
  std::uint16_t count;
  if (!directory.Skip(4) || !directory.Read(count)) return nullptr;
  auto icon = std::make_unique<HICON__>();
  icon->groupId = id;
  for (std::uint16_t i = 0; i < count; ++i) {
    std::uint16_t imageId;
    if (!directory.Skip(12) || !directory.Read(imageId)) return nullptr;
    HRSRC resource = FindResourceA(instance, MAKEINTRESOURCEA(imageId), RT_ICON);
    IconImage image;
    if (resource != nullptr &&
        DecodeIconImage(static_cast<const std::uint8_t*>(LockResource(LoadResource(instance, resource))),
                        SizeofResource(instance, resource), image)) {
      icon->images.push_back(std::move(image));
    }
  }
  if (icon->images.empty()) return nullptr;
  return (loadedIcons[id] = std::move(icon)).get();
}

const IconImage* IconImageForSize(HICON icon, int size) {
  if (icon == nullptr) return nullptr;
  const IconImage* smallestFitting = nullptr;
  const IconImage* largest = nullptr;
  for (const IconImage& image : icon->images) {
    if (image.width >= size && (smallestFitting == nullptr || image.width < smallestFitting->width)) {
      smallestFitting = &image;
    }
    if (largest == nullptr || image.width > largest->width) largest = &image;
  }
  return smallestFitting != nullptr ? smallestFitting : largest;
}

DialogUnits DialogUnitsForFont(int pointSize) {
  if (pointSize <= 0) return {8, 16};
  const int pixels = (pointSize * 96 + 36) / 72;
  return {(pixels + 1) / 2, pixels};
}

bool ParseDialogTemplate(const std::uint8_t* bytes, std::size_t size, DialogTemplate& dialog) {
  Reader in(bytes, size);
  std::uint16_t version, signature;
  if (!in.Read(version) || !in.Read(signature) || version != 1 || signature != 0xFFFF) return false;
  if (!in.Skip(4) /* helpID */ || !in.Read(dialog.exStyle) || !in.Read(dialog.style) ||
      !in.Read(dialog.itemCount) || !in.Read(dialog.x) || !in.Read(dialog.y) || !in.Read(dialog.cx) ||
      !in.Read(dialog.cy) || !in.SkipNameOrId() /* menu */ || !in.SkipNameOrId() /* window class */ ||
      !in.ReadString(dialog.title)) {
    return false;
  }
  if ((dialog.style & DS_SETFONT) == 0) return true;
  return in.Read(dialog.pointSize) && in.Read(dialog.weight) && in.Read(dialog.italic) &&
         in.Read(dialog.charset) && in.ReadString(dialog.typeface);
}
