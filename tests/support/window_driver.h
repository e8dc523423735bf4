// Drives windows of the layer in tests, on SDL's dummy video driver: runs the
// message loop until nothing is left, feeds SDL events (drops, keys, resizes)
// and reads back what the layer keeps: captions, icons, client pixels and the
// queue. The viewer itself needs none of this.
#pragma once

#include <string>
#include <vector>

#include "platform/linux/user/icons.h"
#include "platform/linux/user/layer_messages.h"
#include "platform/linux/user/window_record.h"

// Dispatches every message that is waiting, as the viewer's loop does, and
// returns the wParam of a WM_QUIT met on the way, or -1.
long long RunPendingMessages(HWND dialog);

// The queue's next message, as GetMessageA would take it, without waiting;
// PM_REMOVE takes it off the queue.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
BOOL PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Whether the handle is a window that exists, and is shown.
BOOL IsWindow(HWND window);
BOOL IsWindowVisible(HWND window);

// The caption's bytes.
std::string Caption(HWND window);

// The icons set with WM_SETICON.
HICON SmallIcon(HWND window);
HICON BigIcon(HWND window);

// The desktop drops these files, in this order, onto the window.
void DropFiles(HWND window, const std::vector<std::string>& paths);

// A key is pressed and released in the window.
void PressKey(HWND window, SDL_Keycode key);

// The desktop gives the window a new size.
void ResizeClient(HWND window, int width, int height);

// Moves the window part's clock on: time passes only when a test says so.
void AdvanceClock(int milliseconds);

// A client pixel, through the window's device context.
COLORREF ClientPixel(HWND window, int x, int y);

// Whether any pixel in the client rectangle [left, right) x [top, bottom) is
// not white.
bool AnyNonWhite(HWND window, int left, int top, int right, int bottom);
