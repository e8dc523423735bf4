#include "window_driver.h"

#include "platform/linux/user/message_queue.h"

long long RunPendingMessages(HWND dialog) {
  long long quit = -1;
  MSG message;
  // Bounded, so a window that never validates fails the test instead of hanging it.
  for (int i = 0; i < 10000 && PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
    if (message.message == WM_QUIT) {
      quit = static_cast<long long>(message.wParam);
      continue;
    }
    if (IsDialogMessageA(dialog, &message) == 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return quit;
}

BOOL PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove) {
  if (message == nullptr) return FALSE;
  return NextMessage(*message, window, first, last, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr && !IsLive(window)) return FALSE;
  PostToQueue(window, message, wParam, lParam);
  return TRUE;
}

BOOL IsWindow(HWND window) { return IsLive(window); }

BOOL IsWindowVisible(HWND window) { return IsLive(window) && window->visible; }

std::string Caption(HWND window) { return IsLive(window) ? window->text : std::string(); }

HICON SmallIcon(HWND window) { return window->smallIcon; }

HICON BigIcon(HWND window) { return window->bigIcon; }

COLORREF ClientPixel(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF pixel = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return pixel;
}

bool AnyNonWhite(HWND window, int left, int top, int right, int bottom) {
  HDC dc = GetDC(window);
  bool found = false;
  for (int y = top; y < bottom && !found; ++y) {
    for (int x = left; x < right && !found; ++x) found = GetPixel(dc, x, y) != 0x00FFFFFF;
  }
  ReleaseDC(window, dc);
  return found;
}
