// Text output in the stock font: a Japanese font that fontconfig finds, or
// the subset embedded in the program where that font lacks a character,
// rendered by FreeType, black on opaque white. Nothing is opened before the
// first text is drawn.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "../../win32.h"
#include "code_page.h"
#include "fallback_font.h"
#include "raster_pixels.h"

namespace {

// The stock font's size in pixels at 96 dots per inch: the height of a
// full-width character.
constexpr int kStockFontPixels = 16;

constexpr COLORREF kWhite = 0x00FFFFFF;

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

// The faces the stock font draws with at one size in pixels: the one
// fontconfig found, which may be missing or, on a machine with only Latin
// fonts, any font at all; and the embedded subset, which has the glyphs of the
// texts the viewer draws.
struct StockFaces {
  FT_Face found = nullptr;
  FT_Face embedded = nullptr;
};

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library made = nullptr;
    return FT_Init_FreeType(&made) == 0 ? made : nullptr;
  }();
  return library;
}

// The faces at a size, opened once for each size asked for (one for each
// density the windows have been on).
StockFaces OpenStockFaces(int pixels) {
  StockFaces faces;
  FT_Library library = Library();
  if (library == nullptr) return faces;
  static const std::string file = JapaneseFontFile();
  if (!file.empty() && FT_New_Face(library, file.c_str(), 0, &faces.found) != 0) faces.found = nullptr;
  if (FT_New_Memory_Face(library, kFallbackFont, static_cast<FT_Long>(kFallbackFontSize), 0,
                         &faces.embedded) != 0)
    faces.embedded = nullptr;
  for (FT_Face face : {faces.found, faces.embedded}) {
    if (face != nullptr) FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
  }
  return faces;
}

// The characters of UTF-8 text (as iconv wrote it, so well formed).
std::vector<char32_t> CodePoints(const std::string& utf8) {
  std::vector<char32_t> points;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t point = length == 1 ? lead : lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
      point = point << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3Fu);
    }
    points.push_back(point);
    i += length;
  }
  return points;
}

bool HasEveryGlyph(FT_Face face, const std::vector<char32_t>& text) {
  return face != nullptr && std::all_of(text.begin(), text.end(), [face](char32_t point) {
           return FT_Get_Char_Index(face, point) != 0;
         });
}

// The first face that draws every character of the text, rather than boxes;
// when none does, the found one, whose boxes at least show where text is.
FT_Face FaceFor(const std::vector<char32_t>& text, int pixels) {
  static std::map<int, StockFaces>& opened = *new std::map<int, StockFaces>;
  auto found = opened.find(pixels);
  if (found == opened.end()) found = opened.emplace(pixels, OpenStockFaces(pixels)).first;
  const StockFaces& faces = found->second;
  if (HasEveryGlyph(faces.found, text)) return faces.found;
  if (HasEveryGlyph(faces.embedded, text)) return faces.embedded;
  return faces.found != nullptr ? faces.found : faces.embedded;
}

// 26.6 fixed point, as FreeType measures, to whole pixels.
long Ceiling(FT_Pos value) { return (value + 63) >> 6; }
long Floor(FT_Pos value) { return value >> 6; }

// Paints one row of coverage from `from` on: each value's share of black over
// the white the box already holds.
void Blend(HDC dc, long y, long x, const unsigned char* coverage, unsigned count) {
  if (y < 0 || y >= static_cast<long>(dc->height)) return;
  std::uint8_t* row = RowOf(dc, static_cast<std::size_t>(y));
  for (unsigned i = 0; i < count; ++i) {
    const long column = x + static_cast<long>(i);
    if (column < 0 || column >= static_cast<long>(dc->width) || coverage[i] == 0) continue;
    const COLORREF grey = static_cast<COLORREF>(255 - coverage[i]);
    const COLORREF under = PixelAt(dc->layout, row, static_cast<std::size_t>(column));
    const COLORREF shade = std::min(grey, under & 0xFF);  // where glyphs overlap, the darker
    PutPixel(dc->layout, row, static_cast<std::size_t>(column), RGB(shade, shade, shade));
  }
}

}  // namespace

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
  if (dc == nullptr || text == nullptr || length < 0) return FALSE;
  if (length == 0) return TRUE;
  dc->written = true;
  const std::vector<char32_t> points =
      CodePoints(Utf8FromCp932(std::string_view(text, static_cast<std::size_t>(length))));
  FT_Face face = FaceFor(points, StockFontPixels(dc->dpi));
  if (face == nullptr) return FALSE;
  // The box: as wide as the characters advance, as high as the font's line
  // from its ascender to its descender, all of it white (the opaque
  // background), then the glyphs drawn over it.
  long advance = 0;
  for (char32_t point : points) {
    if (FT_Load_Char(face, point, FT_LOAD_DEFAULT) == 0) advance += Ceiling(face->glyph->advance.x);
  }
  const long ascent = Ceiling(face->size->metrics.ascender);
  const long height = ascent - Floor(face->size->metrics.descender);
  for (long row = std::max(0L, static_cast<long>(y));
       row < std::min(static_cast<long>(y) + height, static_cast<long>(dc->height)); ++row) {
    const long first = std::max(0L, static_cast<long>(x));
    const long last = std::min(static_cast<long>(x) + advance, static_cast<long>(dc->width));
    if (last > first) {
      FillPixels(dc->layout, RowOf(dc, static_cast<std::size_t>(row)) + first * BytesPerPixel(dc->layout),
                 static_cast<std::size_t>(last - first), kWhite);
    }
  }
  long pen = x;
  for (char32_t point : points) {
    if (FT_Load_Char(face, point, FT_LOAD_RENDER) != 0) continue;
    const FT_GlyphSlot glyph = face->glyph;
    const FT_Bitmap& bitmap = glyph->bitmap;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
      for (unsigned row = 0; row < bitmap.rows; ++row) {
        Blend(dc, y + ascent - glyph->bitmap_top + static_cast<long>(row), pen + glyph->bitmap_left,
              bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch, bitmap.width);
      }
    }
    pen += Ceiling(glyph->advance.x);
  }
  return TRUE;
}
