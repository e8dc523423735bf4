// How the drawing part reaches the pixels of a window's client area. The
// drawing part lives in the core library, which knows no windows; the window
// part owns the client rasters and installs a lookup here when it starts the
// video. Until then, and for a window that no longer exists, a window's device
// context has no pixels, like the screen's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../gdi.h"

struct ClientArea {
  std::uint8_t* bits = nullptr;  // pixels of kBytesPerPixel bytes, red, green, blue, top row first
  std::size_t width = 0;
  std::size_t height = 0;
  int dpi = 96;        // the dots per inch its device pixels stand for
  bool quick = false;  // the window is being resized: see StretchBlt
};

using ClientAreaLookup = ClientArea (*)(HWND window);

// GetDC asks the installed lookup for the raster of every window it is given.
void InstallClientAreaLookup(ClientAreaLookup lookup);
