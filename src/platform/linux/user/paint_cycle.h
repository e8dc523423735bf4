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

// The client raster of a live window; none for any other.
ClientArea ClientAreaOf(HWND window);
