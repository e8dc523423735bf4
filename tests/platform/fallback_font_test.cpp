// The embedded fallback font: a font FreeType opens from memory, with a glyph
// for every character of the prompt, so the prompt can be drawn on a machine
// without any Japanese font.
#include "platform/linux/gdi/fallback_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <string>

#include "app/texts.h"
#include "platform/linux/gdi/code_page.h"

namespace {

// The code points of UTF-8 text that the layer's own conversion wrote.
std::u32string CodePoints(const std::string& utf8) {
  std::u32string points;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      point = point << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    }
    points.push_back(point);
    i += length;
  }
  return points;
}

TEST(FallbackFont, HasAGlyphForEveryCharacterOfThePrompt) {
  FT_Library library = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  FT_Face face = nullptr;
  ASSERT_EQ(FT_New_Memory_Face(library, kFallbackFont, static_cast<FT_Long>(kFallbackFontSize), 0, &face), 0);
  const std::u32string prompt = CodePoints(Utf8FromCp932(std::string_view(kPrompt, kPromptLength)));
  ASSERT_EQ(prompt.size(), 28u);
  for (char32_t point : prompt) {
    EXPECT_NE(FT_Get_Char_Index(face, point), 0u) << "no glyph for U+" << std::hex << static_cast<unsigned>(point);
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}

}  // namespace
