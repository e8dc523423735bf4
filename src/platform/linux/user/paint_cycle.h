// The paint cycle of a window: its client raster, the marks that ask for a
// repaint, and the paint context drawn on that raster.
#pragma once

#include "../gdi/client_area.h"
#include "../user.h"

// Sizes the client raster to the window's pixels; a new raster starts white
// and the old one is given back.
void FollowClientSize(HWND window);
void ReleaseClientRaster(HWND window);

// Marks the whole client area for repainting, with erasing.
void MarkForRepaint(HWND window);

// The window's size has just changed. Until it has been still for a moment,
// its paints may show large pictures sampled rather than averaged; a window
// that painted so is marked for repainting once it is still.
void NoteResize(HWND window);
void MarkWindowsNowStill();
// How long until the next window is still, in milliseconds; -1 for none.
int MsUntilStill();

// The client raster of a live window; none for any other.
ClientArea ClientAreaOf(HWND window);
