// The embedded fallback font: a font SDL_ttf opens from memory, with a glyph
// for every character of the prompt, so the prompt can be drawn on a machine
// without any Japanese font.
#include "platform/linux/gdi/fallback_font.h"

#include <SDL_ttf.h>
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
  ASSERT_EQ(TTF_Init(), 0) << TTF_GetError();
  TTF_Font* font =
      TTF_OpenFontRW(SDL_RWFromConstMem(kFallbackFont, static_cast<int>(kFallbackFontSize)), 1, 16);
  ASSERT_NE(font, nullptr) << TTF_GetError();
  const std::u32string prompt = CodePoints(Utf8FromCp932(std::string_view(kPrompt, kPromptLength)));
  ASSERT_EQ(prompt.size(), 28u);
  for (char32_t point : prompt) {
    EXPECT_NE(TTF_GlyphIsProvided32(font, point), 0)
        << "no glyph for U+" << std::hex << static_cast<unsigned>(point);
  }
  TTF_CloseFont(font);
  TTF_Quit();
}

}  // namespace
