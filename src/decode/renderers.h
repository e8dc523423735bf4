// The renderers: one per stored layout, each drawing the pixel data into the
// surface with one SetPixel per pixel. Every renderer takes the surface, the
// pixel data (from its first byte to the end of the file body), the palette
// or colour masks where the layout has them, the signed height (its sign picks
// the row order) and the width.
#pragma once

#include <cstdint>
#include <span>

#include "../platform/little_endian.h"
#include "../platform/win32.h"

using ColourMasks = std::span<const std::uint8_t, 12>;  // red, green, blue

// Uncompressed palette layouts: 1 bit black and white, 4 and 8 bits through
// 4-byte entries after an info header or 3-byte entries after a core header.
void DrawMono1(HDC surface, Bytes pixels, std::int32_t height, std::uint32_t width);
void DrawIndexed4(HDC surface, Bytes pixels, Bytes palette, std::int32_t height, std::uint32_t width);
void DrawIndexed4Core(HDC surface, Bytes pixels, Bytes palette, std::int32_t height, std::uint32_t width);
void DrawIndexed8(HDC surface, Bytes pixels, Bytes palette, std::int32_t height, std::uint32_t width);
void DrawIndexed8Core(HDC surface, Bytes pixels, Bytes palette, std::int32_t height, std::uint32_t width);

// Run-length streams of 4-bit and 8-bit indexes.
void DrawRle4(HDC surface, Bytes stream, Bytes palette, std::int32_t height, std::uint32_t width);
void DrawRle8(HDC surface, Bytes stream, Bytes palette, std::int32_t height, std::uint32_t width);

// Direct colour: 16-bit 5-5-5, 24-bit and 32-bit pixels.
void DrawRgb555(HDC surface, Bytes pixels, std::int32_t height, std::uint32_t width);
void DrawRgb24(HDC surface, Bytes pixels, std::int32_t height, std::uint32_t width);
void DrawRgb32(HDC surface, Bytes pixels, std::int32_t height, std::uint32_t width);

// 16-bit and 32-bit pixels whose components the colour masks place.
void DrawBitfields16(HDC surface, Bytes pixels, ColourMasks masks, std::int32_t height, std::uint32_t width);
void DrawBitfields32(HDC surface, Bytes pixels, ColourMasks masks, std::int32_t height, std::uint32_t width);

// The number of set bits of value.
int CountBits(std::uint32_t value);

// Cuts a mask down to its eight most significant set bits.
void KeepTop8MaskBits(std::uint32_t* mask);
