// What a window system (window_system.h) tells the rest of the window part
// about its windows. Called on the GUI thread while the system dispatches
// (ClientAreaChanged also while a window is made); each only records what
// happened or queues a message, so none calls back into the window system.
#pragma once

#include <string>
#include <string_view>

#include "../user.h"

// The window's client area is width x height device pixels now, which stand
// for dpi dots per inch (96 on an ordinary screen, 192 at twice its density).
// resizing: the user is resizing the window (dragging its frame), where the
// window system can tell, or else the window had shown a picture; not when
// the window is given its first size, nor when only its density changed.
void ClientAreaChanged(HWND window, int width, int height, int dpi, bool resizing);

// A paint of the shown window reaches the screen from now on.
void WindowCanPaint(HWND window);

// The window no longer shows what was last painted (the system lost the
// picture): it is painted again.
void WindowNeedsRepaint(HWND window);

// The user asked to close the window: its close box, its window menu or the
// window manager's close key.
void CloseRequested(HWND window);

// Something was dropped onto a window that accepts files: the drop's
// text/uri-list as the source sent it (URIs one a line, CRLF or LF, lines that
// begin with '#' are comments).
void UrisDropped(HWND window, std::string_view uriList);

// The window cannot be shown, or no longer: it could not be made, its pixels
// cannot reach the screen, or the display has gone. The message loop ends
// and the program exits with 1 after "rastelle: cannot show the window
// (REASON)" on standard error; the first reason stands.
void CannotShowWindow(const std::string& reason);
