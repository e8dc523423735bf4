// Presenting a window's client raster on the screen.
#pragma once

#include "../user.h"

// Shows the client raster in the window. When it cannot be shown, the window
// cannot be seen at all: the reason goes to CannotShowWindow.
void PresentClientArea(HWND window);

// Where the toolkit draws the window's frame beside its surface (libdecor on
// Wayland), a redrawn frame reaches the screen only with the surface's next
// commit: the raster is presented again, so that the frame the compositor's
// latest state asks for (activated or not) shows. Elsewhere nothing happens.
void PresentFrameAgain(HWND window);

// A window whose window system has gone cannot be shown again: on Wayland,
// where nothing else would notice, a connection to the compositor that has
// failed goes to CannotShowWindow.
void CheckWindowSystem(HWND window);

// The window is about to be destroyed: nothing is presented in it again.
void StopPresenting(HWND window);
