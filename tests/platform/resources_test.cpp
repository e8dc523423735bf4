// The resources the build embeds, read byte by byte at the offsets of the
// published layouts: the dialog template and the icon group.
#include "platform/linux/resources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/linux/layer_messages.h"
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

TEST(Resources, SmallIconShowsWhiteBarsOnBlueAndIsOpaque) {
  const ResourceBytes icon = Resource(RT_ICON, 1);
  ASSERT_EQ(icon.size, 1384u);
  EXPECT_EQ(icon.U32(0), 40u);  // biSize
  EXPECT_EQ(icon.U32(4), 16u);  // biWidth
  EXPECT_EQ(icon.U32(8), 32u);  // biHeight: colours and mask
  EXPECT_EQ(icon.U16(14), 8u);  // biBitCount
  const std::size_t palette = 40, pixels = palette + 256 * 4, mask = pixels + 16 * 16;
  for (std::size_t i = mask; i < icon.size; ++i) ASSERT_EQ(icon.data[i], 0u) << "AND mask byte " << i - mask;
  // The middle row, left to right: blue and white runs, at least two bars.
  std::string row;
  for (std::size_t x = 0; x < 16; ++x) {
    const std::size_t entry = palette + 4 * icon.data[pixels + 8 * 16 + x];
    const std::uint8_t blue = icon.data[entry], green = icon.data[entry + 1], red = icon.data[entry + 2];
    if (blue == 255 && green == 255 && red == 255) {
      row += 'W';
    } else if (blue > 2 * red && blue > green) {
      row += 'b';
    } else {
      row += '?';
    }
  }
  EXPECT_EQ(row.find('?'), std::string::npos) << row;
  EXPECT_EQ(row.front(), 'b') << row;
  EXPECT_EQ(row.back(), 'b') << row;
  int bars = 0;
  for (std::size_t x = 1; x < row.size(); ++x) bars += row[x] == 'W' && row[x - 1] == 'b';
  EXPECT_GE(bars, 2) << row;
  // Bars are vertical: the row a quarter down is the same.
  for (std::size_t x = 0; x < 16; ++x) {
    EXPECT_EQ(icon.data[pixels + 4 * 16 + x], icon.data[pixels + 8 * 16 + x]) << "column " << x;
  }
}

}  // namespace
