// Sent messages and the dialog's default handling: what happens to a message
// the dialog procedure leaves alone, the caption and the icon.
#include "../gdi/raster_pixels.h"
#include "desktop_title.h"
#include "display.h"
#include "icons.h"
#include "layer_messages.h"
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
      for (std::size_t y = 0; y < dc->height; ++y) FillPixels(dc->layout, RowOf(dc, y), dc->width, kDialogFace);
      return 1;
    }
    case WM_SETTEXT:
      // The window keeps every byte; the desktop is shown what it can draw.
      window->text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      TheWindowSystem()->SetTitle(window, DesktopTitle(window->text));
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

// The window takes no keys, and the dialog's keyboard is all this would
// handle: every message goes on to DispatchMessageA.
BOOL IsDialogMessageA(HWND, LPMSG) { return FALSE; }

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}
