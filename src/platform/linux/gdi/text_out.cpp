// Text output in the stock font: a Japanese font that fontconfig finds, or
// the subset embedded in the program where that font lacks a character,
// rendered by SDL_ttf, black on opaque white.
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <map>
#include <string>

#include "../../win32.h"
#include "code_page.h"
#include "fallback_font.h"
#include "raster_pixels.h"

namespace {

// The stock font's size in pixels at 96 dots per inch: the height of a
// full-width character.
constexpr int kStockFontPixels = 16;

int StockFontPixels(int dpi) {
  if (dpi <= 0) return kStockFontPixels;
  return (kStockFontPixels * dpi + 48) / 96;
}

// The file of the first font that fontconfig has for these families, in this
// order, falling back to the font it prefers for Japanese: on a machine
// without a Japanese font, whatever font it has.
std::string FontFileIn(FcConfig* config) {
  for (const char* wanted : {"IPAPGothic", "IPAGothic", ":lang=ja"}) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(wanted));
    if (pattern == nullptr) continue;
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern* match = FcFontMatch(config, pattern, &result);
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

// Looked up in a configuration of our own, given back once the file is known
// (the font is read from its file). The process's default configuration is
// not ours to tear down: other libraries draw text through it, such as
// libdecor's title bar on Wayland, and fontconfig aborts when it is freed
// under them.
std::string JapaneseFontFile() {
  FcConfig* config = FcInitLoadConfigAndFonts();
  if (config == nullptr) return {};
  std::string file = FontFileIn(config);
  FcConfigDestroy(config);
  return file;
}

// The fonts the stock font draws with: the one fontconfig found, which may be
// missing or, on a machine with only Latin fonts, any font at all; and the
// embedded subset, which has the glyphs of the texts the viewer draws.
struct StockFonts {
  TTF_Font* found = nullptr;
  TTF_Font* embedded = nullptr;
};

// The stock fonts at a size in pixels, opened once for each size asked for
// (one for each density the windows have been on).
StockFonts OpenStockFonts(int pixels) {
  if (TTF_WasInit() == 0 && TTF_Init() != 0) return {};
  static const std::string file = JapaneseFontFile();
  StockFonts fonts;
  if (!file.empty()) fonts.found = TTF_OpenFont(file.c_str(), pixels);
  SDL_RWops* bytes = SDL_RWFromConstMem(kFallbackFont, static_cast<int>(kFallbackFontSize));
  if (bytes != nullptr) fonts.embedded = TTF_OpenFontRW(bytes, 1, pixels);
  return fonts;
}

// Whether the font has a glyph for every character of the UTF-8 text (as
// iconv wrote it, so well formed).
bool HasEveryGlyph(TTF_Font* font, const std::string& utf8) {
  if (font == nullptr) return false;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    Uint32 point = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      point = point << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    }
    if (TTF_GlyphIsProvided32(font, point) == 0) return false;
    i += length;
  }
  return true;
}

// The first font that draws every character of the text, rather than boxes;
// when none does, the found font, whose boxes at least show where text is.
TTF_Font* FontFor(const std::string& utf8, int pixels) {
  static std::map<int, StockFonts>& opened = *new std::map<int, StockFonts>;
  auto found = opened.find(pixels);
  if (found == opened.end()) found = opened.emplace(pixels, OpenStockFonts(pixels)).first;
  const StockFonts& fonts = found->second;
  if (HasEveryGlyph(fonts.found, utf8)) return fonts.found;
  if (HasEveryGlyph(fonts.embedded, utf8)) return fonts.embedded;
  return fonts.found != nullptr ? fonts.found : fonts.embedded;
}

}  // namespace

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  if (dc == nullptr || text == nullptr || length < 0) return FALSE;
  if (length == 0) return TRUE;
  dc->written = true;
  const std::string utf8 = Utf8FromCp932(std::string_view(text, static_cast<std::size_t>(length)));
  TTF_Font* font = FontFor(utf8, StockFontPixels(dc->dpi));
  if (font == nullptr) return FALSE;
  SDL_Surface* rendered =
      TTF_RenderUTF8_Shaded(font, utf8.c_str(), SDL_Color{0, 0, 0, 255}, SDL_Color{255, 255, 255, 255});
  if (rendered == nullptr) return FALSE;
  // An 8-bit surface whose palette runs from the background to the text colour.
  const SDL_Color* palette = rendered->format->palette->colors;
  for (int row = 0; row < rendered->h; ++row) {
    const long long targetY = static_cast<long long>(y) + row;
    if (targetY < 0 || targetY >= static_cast<long long>(dc->height)) continue;
    const auto* source = static_cast<const Uint8*>(rendered->pixels) + row * rendered->pitch;
    std::uint8_t* target = dc->bits + static_cast<std::size_t>(targetY) * dc->width * kBytesPerPixel;
    for (int column = 0; column < rendered->w; ++column) {
      const long long targetX = static_cast<long long>(x) + column;
      if (targetX < 0 || targetX >= static_cast<long long>(dc->width)) continue;
      const SDL_Color colour = palette[source[column]];
      PutPixel(target, static_cast<std::size_t>(targetX), RGB(colour.r, colour.g, colour.b));
    }
  }
  SDL_FreeSurface(rendered);
  return TRUE;
}
