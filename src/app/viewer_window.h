// The viewer window: its dialog procedure, the fit of the image to the client
// area and the buffer its captions are built in.
#pragma once

#include <cstdint>

#include "../platform/win32.h"

// The dropped path and every caption the window builds.
extern char textBuffer[1024];

// The dialog procedure of the viewer window.
INT_PTR CALLBACK ViewerDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Where the image goes in a client area: scaled by zoom, aspect ratio kept,
// dw x dh pixels with the top-left corner at (x, y), centred.
struct Fit {
  double zoom;
  std::int32_t dw, dh;
  std::int32_t x, y;
};

// The fit of an image of width x height pixels (unsigned 32-bit, as the
// surface's size) into a client area of clientWidth x clientHeight.
Fit FitToClient(std::int32_t clientWidth, std::int32_t clientHeight, std::uint32_t width,
                std::uint32_t height);
