// Text output in the stock font: a Japanese font that fontconfig finds,
// rendered by SDL_ttf, black on opaque white.
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <string>

#include "../win32.h"
#include "code_page.h"

namespace {

// The stock font's size in pixels: the height of a full-width character.
constexpr int kStockFontPixels = 16;

// The file of the first font that fontconfig has for these families, in this
// order, falling back to any font that covers Japanese.
std::string JapaneseFontFile() {
  if (FcInit() == FcFalse) return {};
  for (const char* wanted : {"IPAPGothic", "IPAGothic", ":lang=ja"}) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(wanted));
    if (pattern == nullptr) continue;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match == nullptr) continue;
    // fontconfig falls back to another font when the family is missing; a
    // font has its family under several names (IPAPGothic, IPA Pゴシック).
    bool matches = wanted[0] == ':';
    FcChar8* family = nullptr;
    for (int i = 0; !matches && FcPatternGetString(match, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
      matches = std::string(reinterpret_cast<char*>(family)) == wanted;
    }
    FcChar8* file = nullptr;
    std::string found;
    if (matches && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) {
      found = reinterpret_cast<char*>(file);
    }
    FcPatternDestroy(match);
    if (!found.empty()) return found;
  }
  return {};
}

TTF_Font* OpenStockFont() {
  if (TTF_WasInit() == 0 && TTF_Init() != 0) return nullptr;
  const std::string file = JapaneseFontFile();
  FcFini();  // fontconfig has done its part: the font is read from its file
  return file.empty() ? nullptr : TTF_OpenFont(file.c_str(), kStockFontPixels);
}

TTF_Font* StockFont() {
  static TTF_Font* const font = OpenStockFont();
  return font;
}

}  // namespace

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  if (dc == nullptr || text == nullptr || length < 0) return FALSE;
  if (length == 0) return TRUE;
  TTF_Font* font = StockFont();
  if (font == nullptr) return FALSE;
  const std::string utf8 = Utf8FromCp932(std::string_view(text, static_cast<std::size_t>(length)));
  SDL_Surface* rendered =
      TTF_RenderUTF8_Shaded(font, utf8.c_str(), SDL_Color{0, 0, 0, 255}, SDL_Color{255, 255, 255, 255});
  if (rendered == nullptr) return FALSE;
  // An 8-bit surface whose palette runs from the background to the text colour.
  const SDL_Color* palette = rendered->format->palette->colors;
  for (int row = 0; row < rendered->h; ++row) {
    const long long targetY = static_cast<long long>(y) + row;
    if (targetY < 0 || targetY >= static_cast<long long>(dc->height)) continue;
    const auto* source = static_cast<const Uint8*>(rendered->pixels) + row * rendered->pitch;
    std::uint32_t* target = dc->pixels + static_cast<std::size_t>(targetY) * dc->width;
    for (int column = 0; column < rendered->w; ++column) {
      const long long targetX = static_cast<long long>(x) + column;
      if (targetX < 0 || targetX >= static_cast<long long>(dc->width)) continue;
      const SDL_Color colour = palette[source[column]];
      target[targetX] = RGB(colour.r, colour.g, colour.b);
    }
  }
  SDL_FreeSurface(rendered);
  return TRUE;
}
