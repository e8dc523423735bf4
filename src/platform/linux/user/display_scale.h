// How dense the screen is: the dots per inch that a window's device pixels
// stand for, 96 on an ordinary screen. The dialog's size and the stock font
// are given for 96 dots per inch and scaled by this.
#pragma once

#include "../user.h"

constexpr int kOrdinaryDpi = 96;

// Makes a window just made (hidden, at its 96 dpi size) as large as its
// screen's density asks. On X11 the screen's density is the desktop's choice,
// GDK_SCALE (a whole factor) or else the Xft.dpi resource; the window is
// resized by it. On Wayland the compositor gives each output a scale, and SDL
// makes the window's surface that many device pixels per point: its size in
// points stays.
void ScaleNewWindow(HWND window);

// The dots per inch of the window's device pixels now: on Wayland the scale
// of the surface SDL made (which follows the output the window is on),
// elsewhere the density the window was made with.
int WindowDpi(HWND window);
