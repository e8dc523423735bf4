// The message queue of the one GUI thread, inside the layer.
#pragma once

#include "../user.h"

// Adds a message at the end of the queue, stamped with the time.
void PostToQueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The next message in the order of the queue: posted messages, then WM_QUIT
// once posted, then WM_PAINT for a visible window with a marked area. Only
// messages for window (any window for null) within [first, last] (any for
// 0, 0) count. Takes in what the window system has to say first; remove takes the message
// off the queue (a WM_PAINT stays until the window is validated).
bool NextMessage(MSG& out, HWND window, UINT first, UINT last, bool remove);
