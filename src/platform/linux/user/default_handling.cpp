// Sent messages and the dialog's default handling: what happens to a message
// the dialog procedure leaves alone, the dialog's keyboard, and the caption.
#include <algorithm>

#include "../gdi/raster_pixels.h"
#include "icons.h"
#include "layer_messages.h"
#include "window_manager.h"
#include "window_record.h"

namespace {

constexpr COLORREF kDialogFace = 0x00F0F0F0;

LRESULT DefaultHandling(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      if (window->marked) {
        PAINTSTRUCT paint{};
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
      }
      return 0;
    case WM_ERASEBKGND: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      if (dc == nullptr) return 0;
      FillPixels(dc->bits, dc->width * dc->height, kDialogFace);
      return 1;
    }
    case WM_SETTEXT:
      // The window keeps every byte; the desktop is shown what it can draw.
      window->text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      SDL_SetWindowTitle(window->sdl, DesktopTitle(window->text).c_str());
      return TRUE;
    case WM_SETICON: {
      HICON& slot = wParam == ICON_SMALL ? window->smallIcon : window->bigIcon;
      HICON previous = slot;
      slot = reinterpret_cast<HICON>(lParam);
      ShowWindowIcon(window);
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_CLOSE:
      // A dialog's close box cancels it; a modeless one without a cancel
      // button does nothing more.
      SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4) SendMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    default:
      return 0;
  }
}

}  // namespace

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsLive(window)) return 0;
  const INT_PTR handled =
      window->procedure != nullptr ? window->procedure(window, message, wParam, lParam) : 0;
  if (handled != 0) return handled;
  if (!IsLive(window)) return 0;
  return DefaultHandling(window, message, wParam, lParam);
}

BOOL IsDialogMessageA(HWND dialog, LPMSG message) {
  if (message == nullptr || !IsLive(dialog) || message->hwnd != dialog) return FALSE;
  switch (message->message) {
    case WM_KEYDOWN:
      if (message->wParam == static_cast<WPARAM>(VK_ESCAPE)) SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      if (message->wParam == static_cast<WPARAM>(VK_RETURN)) SendMessageA(dialog, WM_COMMAND, IDOK, 0);
      return TRUE;
    case WM_KEYUP:
    case WM_CHAR:
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}
