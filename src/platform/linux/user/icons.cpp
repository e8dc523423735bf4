// Icon groups: the directory of a group, its images decoded from the device-
// independent bitmaps of the icon resources, and the one the desktop shows.
#include "icons.h"

#include <map>
#include <memory>

#include "display.h"
#include "layer_messages.h"
#include "resources.h"
#include "window_record.h"

namespace {

// The fields of an icon image's BITMAPINFOHEADER that decoding needs.
struct IconHeader {
  std::uint32_t headerSize = 0;
  std::int32_t width = 0;
  std::int32_t doubleHeight = 0;  // colours and mask
  std::uint16_t bitCount = 0;
  std::uint32_t compression = 0;
  std::uint32_t colours = 0;
};

bool ReadIconHeader(Bytes bytes, IconHeader& header) {
  LittleEndianReader in(bytes);
  std::uint16_t planes;
  std::uint32_t sizeImage, xPelsPerMeter, yPelsPerMeter;
  return in.Read(header.headerSize) && in.Read(header.width) && in.Read(header.doubleHeight) &&
         in.Read(planes) && in.Read(header.bitCount) && in.Read(header.compression) && in.Read(sizeImage) &&
         in.Read(xPelsPerMeter) && in.Read(yPelsPerMeter) && in.Read(header.colours);
}

// One image of an icon: a DIB of twice the image's height, colours (1, 4 or 8
// bits through a palette, or 32 bits) then the AND mask, both bottom-up.
bool DecodeIconImage(Bytes bytes, IconImage& image) {
  IconHeader header;
  if (!ReadIconHeader(bytes, header)) return false;
  const int height = header.doubleHeight / 2;
  const unsigned bitCount = header.bitCount;
  if (header.headerSize < 40 || header.headerSize > bytes.size() || header.compression != 0 ||
      header.width <= 0 || height <= 0 || header.width > 256 || height > 256 ||
      (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 32)) {
    return false;
  }
  const std::size_t entries = bitCount == 32 ? 0 : (header.colours != 0 ? header.colours : 1u << bitCount);
  if (entries > 256) return false;
  const std::size_t w = static_cast<std::size_t>(header.width), h = static_cast<std::size_t>(height);
  const std::size_t colourStride = (w * bitCount + 31) / 32 * 4;
  const std::size_t maskStride = (w + 31) / 32 * 4;
  const std::size_t palette = header.headerSize;
  const std::size_t colourRows = palette + entries * 4;
  const std::size_t maskRows = colourRows + colourStride * h;
  if (maskRows + maskStride * h > bytes.size()) return false;

  image = IconImage{header.width, height, std::vector<std::uint32_t>(w * h)};
  for (std::size_t y = 0; y < h; ++y) {
    const std::uint8_t* row = bytes.data() + colourRows + (h - 1 - y) * colourStride;
    const std::uint8_t* mask = bytes.data() + maskRows + (h - 1 - y) * maskStride;
    for (std::size_t x = 0; x < w; ++x) {
      std::uint32_t pixel;
      if (bitCount == 32) {
        pixel = ReadLe32(row + x * 4);
      } else {
        const std::size_t bit = x * bitCount;
        const unsigned index = (row[bit / 8] >> (8 - bitCount - bit % 8)) & ((1u << bitCount) - 1);
        const std::uint8_t* entry = bytes.data() + palette + 4 * (index < entries ? index : 0);
        pixel = std::uint32_t{entry[0]} | std::uint32_t{entry[1]} << 8 | std::uint32_t{entry[2]} << 16;
        const bool transparent = (mask[x / 8] >> (7 - x % 8)) & 1;
        if (!transparent) pixel |= 0xFF000000;
      }
      image.argb[y * w + x] = pixel;
    }
  }
  return true;
}

// A group's directory (GRPICONDIR): its entries name the icon resources of
// its images.
std::unique_ptr<HICON__> LoadIconGroup(WORD id, Bytes group) {
  LittleEndianReader directory(group);
  std::uint16_t reserved, type, count;
  if (!directory.Read(reserved) || !directory.Read(type) || !directory.Read(count)) return nullptr;
  auto icon = std::make_unique<HICON__>();
  icon->groupId = id;
  for (std::uint16_t i = 0; i < count; ++i) {
    // bWidth, bHeight, bColorCount, bReserved, wPlanes, wBitCount, dwBytesInRes
    std::uint16_t imageId;
    if (!directory.Skip(12) || !directory.Read(imageId)) return nullptr;
    const std::optional<Bytes> bytes = FindEmbeddedResource(RT_ICON, imageId);
    IconImage image;
    if (bytes && DecodeIconImage(*bytes, image)) icon->images.push_back(std::move(image));
  }
  if (icon->images.empty()) return nullptr;
  return icon;
}

// Icon groups loaded so far; their handles are shared and never destroyed.
std::map<WORD, std::unique_ptr<HICON__>>& loadedIcons = *new std::map<WORD, std::unique_ptr<HICON__>>;

}  // namespace

HICON LoadIconA(HINSTANCE, LPCSTR name) {
  const std::optional<WORD> id = IntegerResourceId(name);
  if (!id) return nullptr;
  if (auto found = loadedIcons.find(*id); found != loadedIcons.end()) return found->second.get();
  const std::optional<Bytes> group = FindEmbeddedResource(RT_GROUP_ICON, *id);
  if (!group) return nullptr;
  std::unique_ptr<HICON__> icon = LoadIconGroup(*id, *group);
  if (icon == nullptr) return nullptr;
  return (loadedIcons[*id] = std::move(icon)).get();
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

const IconImage* ShownIconImage(HWND window) {
  return window->smallIcon != nullptr ? IconImageForSize(window->smallIcon, 16)
                                      : IconImageForSize(window->bigIcon, 32);
}

void ShowWindowIcon(HWND window) {
  if (const IconImage* image = ShownIconImage(window)) TheWindowSystem()->SetIcon(window, *image);
}
