// The paint cycle of a window: the marks that ask for a repaint, the paint
// context drawn on the pixels the window system gives, and the repaint once a
// window that was being resized is still.
#pragma once

#include "../gdi/client_area.h"
#include "../user.h"

// Marks the whole client area for repainting, with erasing.
void MarkForRepaint(HWND window);

// The window's size has just changed. Until it has been still for a moment,
// its paints may show large pictures sampled rather than averaged; a window
// that painted so is marked for repainting once it is still.
void NoteResize(HWND window);
void MarkWindowsNowStill();
// How long until the next window is still, in milliseconds; -1 for none.
int MsUntilStill();

// The pixels of a live window, as its last paint left them; none for any
// other.
ClientArea ClientAreaOf(HWND window);

// Whether the window takes WM_PAINT now: shown, able to paint, and marked.
bool WantsPaint(HWND window);
