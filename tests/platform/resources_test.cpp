// The resources the build embeds, read byte by byte at the offsets of the
// published layouts: the dialog template and the icon group.
#include "platform/linux/user/resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/user/layer_messages.h"
#include "res/resource.h"

namespace {

constexpr WORD kJapanese = 1041;

struct ResourceBytes {
  const std::uint8_t* data = nullptr;
  DWORD size = 0;
  std::uint32_t U16(std::size_t at) const { return data[at] | data[at + 1] << 8; }
  std::uint32_t U32(std::size_t at) const { return U16(at) | U16(at + 2) << 16; }
  std::u16string String(std::size_t at, std::size_t units) const {
    std::u16string text;
    for (std::size_t i = 0; i < units; ++i) text.push_back(static_cast<char16_t>(U16(at + 2 * i)));
    return text;
  }
};

ResourceBytes Resource(WORD type, int id) {
  const std::optional<Bytes> bytes = FindEmbeddedResource(type, static_cast<WORD>(id), kJapanese);
  if (!bytes) return {};
  return {bytes->data(), static_cast<DWORD>(bytes->size())};
}

TEST(Resources, DialogTemplateIsTheExtendedLayoutOf70Bytes) {
  const ResourceBytes dialog = Resource(RT_DIALOG, IDD_VIEWER);
  ASSERT_NE(dialog.data, nullptr);
  ASSERT_EQ(dialog.size, 70u);
  EXPECT_EQ(dialog.U16(0), 1u);            // dlgVer
  EXPECT_EQ(dialog.U16(2), 0xFFFFu);       // signature
  EXPECT_EQ(dialog.U32(4), 0u);            // helpID
  EXPECT_EQ(dialog.U32(8), 0x00000010u);   // exStyle: accepts files
  EXPECT_EQ(dialog.U32(12), 0x80CD0040u);  // style
  EXPECT_EQ(dialog.U16(16), 0u);           // cDlgItems
  EXPECT_EQ(dialog.U16(18), 0u);           // x
  EXPECT_EQ(dialog.U16(20), 0u);           // y
  EXPECT_EQ(dialog.U16(22), 305u);         // cx
  EXPECT_EQ(dialog.U16(24), 181u);         // cy
  EXPECT_EQ(dialog.U16(26), 0u);           // no menu
  EXPECT_EQ(dialog.U16(28), 0u);           // the dialog class
  EXPECT_EQ(dialog.String(30, 8), std::u16string(u"ﾀﾞｲｱﾛｸﾞ") + u'\0');
  EXPECT_EQ(dialog.U16(46), 9u);   // pointsize
  EXPECT_EQ(dialog.U16(48), 0u);   // weight
  EXPECT_EQ(dialog.data[50], 0u);  // italic
  EXPECT_EQ(dialog.data[51], 1u);  // charset
  EXPECT_EQ(dialog.String(52, 9), std::u16string(u"ＭＳ Ｐゴシック") + u'\0');
}

TEST(Resources, IconGroupHoldsTwo8BitImages) {
  const ResourceBytes group = Resource(RT_GROUP_ICON, IDI_VIEWER);
  ASSERT_NE(group.data, nullptr);
  ASSERT_EQ(group.size, 6u + 2 * 14);
  EXPECT_EQ(group.U16(0), 0u);  // reserved
  EXPECT_EQ(group.U16(2), 1u);  // icons
  ASSERT_EQ(group.U16(4), 2u);
  struct Entry {
    std::uint32_t size, bytes, id;
  };
  for (const Entry& expected : {Entry{16, 1384, 1}, Entry{32, 2216, 2}}) {
    SCOPED_TRACE(expected.size);
    const std::size_t at = 6 + 14 * (expected.id - 1);
    EXPECT_EQ(group.data[at], expected.size);      // width
    EXPECT_EQ(group.data[at + 1], expected.size);  // height
    EXPECT_EQ(group.data[at + 2], 0u);             // colour count: 256
    EXPECT_EQ(group.U16(at + 4), 1u);              // planes
    EXPECT_EQ(group.U16(at + 6), 8u);              // bits per pixel
    EXPECT_EQ(group.U32(at + 8), expected.bytes);
    EXPECT_EQ(group.U16(at + 12), expected.id);
    EXPECT_EQ(Resource(RT_ICON, static_cast<int>(expected.id)).size, expected.bytes);
  }
}

// What a pixel of the icon looks like: the dark frame, the white mat, sky,
// sun or hill; '?' for anything else.
char Looks(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  if (red < 0x60 && green < 0x60 && blue < 0x60) return 'F';
  if (red > 0xF0 && green > 0xF0 && blue > 0xF0) return 'W';
  if (blue > red + 0x30 && blue >= green) return 's';
  if (red > 0xC0 && green > 0x90 && blue < 0x80) return 'o';
  if (green > red && green > blue) return 'g';
  return '?';
}

// A framed landscape photograph: a dark frame all round, sky above, a sun in
// the sky, hills below; every pixel opaque. Rows are stored bottom-up.
TEST(Resources, IconImagesShowAFramedLandscapeAndAreOpaque) {
  for (int id : {1, 2}) {
    const std::size_t size = id == 1 ? 16 : 32;
    SCOPED_TRACE(size);
    const ResourceBytes icon = Resource(RT_ICON, id);
    ASSERT_EQ(icon.size, size == 16 ? 1384u : 2216u);
    ASSERT_EQ(icon.U32(0), 40u);       // biSize
    ASSERT_EQ(icon.U32(4), size);      // biWidth
    ASSERT_EQ(icon.U32(8), 2 * size);  // biHeight: colours and mask
    ASSERT_EQ(icon.U16(14), 8u);       // biBitCount
    const std::size_t palette = 40, pixels = palette + 256 * 4, mask = pixels + size * size;
    for (std::size_t i = mask; i < icon.size; ++i)
      ASSERT_EQ(icon.data[i], 0u) << "AND mask byte " << i - mask;

    std::vector<std::string> rows(size);  // top row first
    for (std::size_t y = 0; y < size; ++y) {
      for (std::size_t x = 0; x < size; ++x) {
        const std::size_t entry = palette + 4 * icon.data[pixels + (size - 1 - y) * size + x];
        rows[y] += Looks(icon.data[entry + 2], icon.data[entry + 1], icon.data[entry]);
      }
    }
    std::string picture;
    for (const std::string& row : rows) picture += row + "\n";
    SCOPED_TRACE(picture);
    EXPECT_EQ(picture.find('?'), std::string::npos);
    for (std::size_t i = 0; i < size; ++i) {
      EXPECT_EQ(rows[0][i], 'F');
      EXPECT_EQ(rows[size - 1][i], 'F');
      EXPECT_EQ(rows[i][0], 'F');
      EXPECT_EQ(rows[i][size - 1], 'F');
    }
    EXPECT_EQ(rows[size / 4][size / 4], 's');        // sky in the upper left
    EXPECT_EQ(rows[size * 13 / 16][size / 2], 'g');  // a hill along the bottom
    std::size_t sun = std::string::npos;
    for (std::size_t y = 0; y < size / 2 && sun == std::string::npos; ++y) sun = rows[y].find('o');
    EXPECT_NE(sun, std::string::npos) << "no sun in the upper half";
    for (std::size_t y = size / 2; y < size; ++y) EXPECT_EQ(rows[y].find('o'), std::string::npos) << y;
  }
}

}  // namespace
