// Drives windows of the layer in tests, on SDL's dummy video driver: runs the
// message loop until nothing is left, feeds SDL events (drops, keys, resizes)
// and reads back captions and client pixels.
#pragma once

#include <string>
#include <vector>

#include "platform/linux/window_state.h"

// Dispatches every message that is waiting, as the viewer's loop does, and
// returns the wParam of a WM_QUIT met on the way, or -1.
long long RunPendingMessages(HWND dialog);

// The caption's bytes.
std::string Caption(HWND window);

// The desktop drops these files, in this order, onto the window.
void DropFiles(HWND window, const std::vector<std::string>& paths);

// A key is pressed and released in the window.
void PressKey(HWND window, SDL_Keycode key);

// The desktop gives the window a new size.
void ResizeClient(HWND window, int width, int height);

// A client pixel, through the window's device context.
COLORREF ClientPixel(HWND window, int x, int y);

// Whether any pixel in the client rectangle [left, right) x [top, bottom) is
// not white.
bool AnyNonWhite(HWND window, int left, int top, int right, int bottom);
