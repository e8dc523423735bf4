// Presenting a window's client raster on the screen.
#pragma once

#include "user.h"

// Copies the client raster into the window's surface and shows it.
void PresentClientArea(HWND window);
