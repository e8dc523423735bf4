// How the drawing part reaches the pixels of a window's client area. The
// drawing part lives in the core library, which knows no windows; the window
// part has the pixels from the window system and installs a lookup here when
// it connects. Until then, and for a window that no longer exists or has none
// yet, a window's device context has no pixels, like the screen's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../gdi.h"

struct ClientArea {
  std::uint8_t* bits = nullptr;  // PixelLayout::kXrgb, top row first
  std::size_t width = 0;
  std::size_t height = 0;
  std::size_t stride = 0;  // bytes from a row to the next
  int dpi = 96;            // the dots per inch its device pixels stand for
  bool quick = false;      // the window is being resized: see StretchBlt
};

using ClientAreaLookup = ClientArea (*)(HWND window);

// GetDC asks the installed lookup for the raster of every window it is given.
void InstallClientAreaLookup(ClientAreaLookup lookup);
