// The font the text output falls back on when fontconfig finds no Japanese
// font: a small subset of a Japanese font with the glyphs of the texts the
// viewer draws, which the build embeds from src/res/fonts.
#pragma once

#include <cstddef>

// The bytes of a TrueType font file.
extern const unsigned char kFallbackFont[];
extern const std::size_t kFallbackFontSize;
