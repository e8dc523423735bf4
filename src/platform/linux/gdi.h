// The drawing part of the layer: Win32 types at their real values, device
// contexts and bitmaps. Bitmaps are plain rasters of kBytesPerPixel bytes a
// pixel, red, green and blue (a COLORREF's bytes without the fourth), rows
// packed one after another, top row first, so SetPixel is a bounds test and
// two stores. A window's client area is the memory its display reads: 4 bytes
// a pixel in the display's order.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using BOOL = int;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using COLORREF = DWORD;
using LPSTR = char*;
using LPCSTR = const char*;

#define WINAPI
#define CALLBACK

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// Compression codes of bitmap files.
constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;

constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | static_cast<COLORREF>(g) << 8 | static_cast<COLORREF>(b) << 16;
}

struct HWND__;
using HWND = HWND__*;

// Every GDI object begins with its kind, so SelectObject can tell them apart
// behind an HGDIOBJ.
enum class GdiKind : std::uint32_t { Bitmap = 0x42544D50, Brush = 0x42525348 };

struct KeptReduction;

struct HDC__;

// The bytes of a raster's pixel: red, green, blue. A quarter less than 4:
// fewer pages for a first load to fault in and for a shown picture to hold
// (docs/benchmarks.md has both measured).
constexpr std::size_t kBytesPerPixel = 3;
// What a raster's block holds after its last pixel, so that its pixels can
// be read four at a time (16 bytes) wherever they lie.
constexpr std::size_t kRasterSlack = 16;

struct HBITMAP__ {
  GdiKind kind;
  std::int32_t width;
  std::int32_t height;
  std::uint8_t* bits;   // width * height pixels of kBytesPerPixel bytes, top row first
  std::size_t bytes;    // size of the block: the pixels and kRasterSlack
  bool stock;           // the default bitmap of a memory context
  HDC__* dc = nullptr;  // the device context it is selected into
  // A count that moves whenever the bitmap has been written to: what was
  // derived from it is stale once the count differs (bitmap_writes.h).
  std::uint64_t writes = 0;
  // Its exact reduction, kept for the next paint; freed with it.
  KeptReduction* reduction = nullptr;
};
using HBITMAP = HBITMAP__*;

struct HBRUSH__ {
  GdiKind kind;
  COLORREF colour;
};
using HBRUSH = HBRUSH__*;
using HGDIOBJ = void*;

// How a raster holds its pixels: a bitmap's kBytesPerPixel bytes, red, green,
// blue; or a window's 4, blue, green, red and one unused (the word 0x00RRGGBB
// on a little-endian machine, XRGB8888), as X servers and Wayland compositors
// read them.
enum class PixelLayout : std::uint8_t { kRgb, kXrgb };

// A device context. Drawing goes to the raster of the selected bitmap (memory
// contexts) or of the window's client area (paint contexts); bits, width and
// height mirror that raster so SetPixel needs no further lookup.
struct HDC__ {
  std::uint8_t* bits;
  std::size_t width;
  std::size_t height;
  std::size_t stride;  // bytes from a row to the next
  PixelLayout layout;
  // The columns SetPixel writes straight into a bitmap's raster without
  // marking the context written: the width, or 0 while the next write must be
  // marked (see SetPixel), and always 0 for a window's.
  std::size_t unmarkedColumns;
  HBITMAP bitmap;     // selected bitmap, memory contexts only
  bool written;       // drawn on since its bitmap's count took in the last mark
  bool quick;         // a window's while it is being resized: see StretchBlt
  bool approximated;  // a stretch onto it took the quick way
  HBRUSH brush;       // selected brush; null is the stock white brush
  bool memory;        // made by CreateCompatibleDC
  alignas(4) std::uint8_t stockBits[kBytesPerPixel + kRasterSlack];  // the 1 x 1 default bitmap's
  HBITMAP__ stockBitmap;
  // The dots per inch its pixels stand for: a window's on a dense screen is
  // more than 96, and text is drawn larger to match.
  int dpi = 96;
};
using HDC = HDC__*;

// The device context of a window's client area, or of the screen for null.
// It serves as the reference for compatible contexts and bitmaps.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// A new memory context holds a 1 x 1 default bitmap.
HDC CreateCompatibleDC(HDC reference);

// A zero-filled bitmap; a zero dimension gives 1 x 1. Null for a negative
// dimension, more than kMaxBitmapPixels pixels, or memory the system refuses.
HBITMAP CreateCompatibleBitmap(HDC reference, int width, int height);

// The most pixels a bitmap may have: 2^28, 16384 x 16384.
constexpr std::size_t kMaxBitmapPixels = std::size_t{1} << 28;

// Selects a bitmap or brush and returns the one it replaces, or null when the
// object cannot be selected (a null bitmap leaves the context as it was).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);

// Deleting a memory context gives up the bitmap selected into it, which can
// then be deleted; deleting a selected bitmap fails.
BOOL DeleteDC(HDC dc);
BOOL DeleteObject(HGDIOBJ object);

// Two bytes of a raster as one store, at any address. The three bytes of a
// pixel are written as two such stores that overlap in the middle one, so
// that no store is of a character type: the compiler then knows that
// writing a pixel changes no context, no counter and no table of the
// caller's, and need not read them again for the next pixel.
struct __attribute__((packed)) RasterPair {
  std::uint16_t bytes;
};

// The slower way of SetPixel: outside the raster, a write to be marked, a
// window's pixels.
COLORREF SetPixelMarked(HDC dc, std::size_t column, std::size_t row, COLORREF colour);

// Writes one pixel; outside the raster it changes nothing and returns -1.
// Where something derived from the bitmap is kept, the context's unmarked
// columns are 0, so that the first write takes the slower way, which marks
// the context written (what was derived is then stale) and opens the columns
// again. A run of pixels thus pays for the mark once, and a decoded picture
// not at all.
inline COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour) {
  const std::size_t column = static_cast<std::uint32_t>(x);
  const std::size_t row = static_cast<std::uint32_t>(y);
  if (column >= dc->unmarkedColumns || row >= dc->height) [[unlikely]]
    return SetPixelMarked(dc, column, row, colour);
  std::uint8_t* pixel = dc->bits + (row * dc->width + column) * kBytesPerPixel;
  reinterpret_cast<RasterPair*>(pixel)->bytes = static_cast<std::uint16_t>(colour);           // red, green
  reinterpret_cast<RasterPair*>(pixel + 1)->bytes = static_cast<std::uint16_t>(colour >> 8);  // green, blue
  return colour;
}

// For tests and tools: the COLORREF at (x, y), CLR_INVALID outside.
COLORREF GetPixel(HDC dc, int x, int y);

// Painting: the operations the viewer's paint uses. Pure raster work, so they
// run without a display.

constexpr DWORD SRCCOPY = 0x00CC0020;

// A brush that fills with one colour. The white brush a new context holds is
// a stock object: selecting it back works, deleting it does nothing.
HBRUSH CreateSolidBrush(COLORREF colour);

// Draws the outline with the context's pen (black, one pixel wide) and fills
// the inside with its brush. Right and bottom are exclusive: the outline lies
// on x = left, x = right - 1, y = top and y = bottom - 1. Clipped to the raster.
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);

// Copies the source rectangle onto the destination rectangle, scaled (SRCCOPY
// is the one raster operation). Enlarging repeats pixels (nearest neighbour),
// so every source pixel becomes a crisp block. Reducing makes each
// destination pixel the mean of the source area it covers, partly covered
// pixels weighed by the part they contribute. The reduction of a bitmap of
// more than 4 Mpx is kept for the next stretch of the same bitmap with the
// same geometry, until the bitmap is written to. Onto the context of a window
// that is being resized, once such a bitmap has been reduced exactly at some
// size, a reduction takes the pixel under each destination pixel's centre
// instead, which costs little whatever the source's size, and marks the
// context approximated: the window paints again exactly once its size is
// still. Clipped to both rasters; source pixels outside the source raster do
// not count.
BOOL StretchBlt(HDC destination, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop);

// Writes code page 932 text with its top-left corner at (x, y), black on
// opaque white, in the stock font: a Japanese font found through fontconfig,
// 16 pixels high at 96 dots per inch and as much larger as the context's dpi;
// where that font lacks a character, the subset the program embeds.
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length);
