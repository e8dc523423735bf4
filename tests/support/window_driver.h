// Drives windows of the layer in tests, on a window system without a display
// (headless_system.cpp): runs the message loop until nothing is left, does
// what a desktop would do to a window (resize it, drop files onto it, press
// its close box), moves the clock, and reads back what the layer keeps and
// what it handed the window system: captions, titles, icons, client pixels,
// paints. The viewer itself needs none of this.
#pragma once

#include <functional>
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

// What the desktop does to the window; it arrives when the layer next asks
// the window system for events. Files dropped are sent as a URI list of file
// URIs, percent-encoded as file managers do; DropUriList sends the list as
// it is given.
void DropFiles(HWND window, const std::vector<std::string>& paths);
void DropUriList(HWND window, const std::string& uriList);
void ResizeClient(HWND window, int width, int height);
void PressCloseBox(HWND window);

// The next window shown is handed to action as the window system shows it.
void WhenShown(std::function<void(HWND)> action);

// The density of the screen that windows made from now on are shown on.
void SetScreenDpi(int dpi);

// What the window system was given for the window: its title, the image of
// its icon, what it was made with, and how many pictures it was asked to show.
std::string SystemTitle(HWND window);
const IconImage* SystemIcon(HWND window);
WindowRequest AskedWindow(HWND window);
int PresentCount(HWND window);

// Moves the window system's clock on: time passes only when a test says so.
void AdvanceClock(int milliseconds);

// A client pixel, through the window's device context.
COLORREF ClientPixel(HWND window, int x, int y);

// Whether any pixel in the client rectangle [left, right) x [top, bottom) is
// not white.
bool AnyNonWhite(HWND window, int left, int top, int right, int bottom);
