// Presenting a window's client raster on the screen.
#pragma once

#include "../user.h"

// Shows the client raster in the window.
void PresentClientArea(HWND window);

// The window is about to be destroyed: nothing is presented in it again.
void StopPresenting(HWND window);
