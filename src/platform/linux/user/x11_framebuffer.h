// Presenting a client raster on an X server through one shared memory segment.
#pragma once

#include "../user.h"

// Converts the window's client raster into the process's segment and has the
// X server copy it into the window. False, having shown nothing, when that
// cannot be done: no X11 window, a server without MIT-SHM or on another
// machine, a pixel format other than 8 bits a colour in 32-bit pixels, a
// client area larger than the segment, or an error from the server, after
// which the segment is no longer used.
bool PresentThroughSegment(HWND window);

// The window is being destroyed: nothing it held is drawn to again.
void ForgetSegmentWindow(HWND window);
