// The message queue: messages posted by what the window system reports and by
// the viewer, the quit request, and paint messages for marked windows.
#include "message_queue.h"

#include <deque>

#include "display.h"
#include "layer_messages.h"
#include "paint_cycle.h"
#include "window_record.h"

namespace {

std::deque<MSG>& posted = *new std::deque<MSG>;
bool quitPosted = false;
int quitCode = 0;

MSG Stamped(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return MSG{window, message, wParam, lParam, static_cast<DWORD>(NowMs()), {0, 0}};
}

bool Matches(const MSG& message, HWND window, UINT first, UINT last) {
  if (window != nullptr && message.hwnd != window) return false;
  return (first == 0 && last == 0) || (message.message >= first && message.message <= last);
}

}  // namespace

void PostToQueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  posted.push_back(Stamped(window, message, wParam, lParam));
}

bool NextMessage(MSG& out, HWND window, UINT first, UINT last, bool remove) {
  if (WindowSystem* system = TheWindowSystem(); system != nullptr && !RegisteredWindows().empty())
    system->Dispatch(0);
  MarkWindowsNowStill();
  for (auto message = posted.begin(); message != posted.end(); ++message) {
    if (!Matches(*message, window, first, last)) continue;
    out = *message;
    if (remove) posted.erase(message);
    return true;
  }
  if (quitPosted && window == nullptr && Matches(Stamped(nullptr, WM_QUIT, 0, 0), nullptr, first, last)) {
    out = Stamped(nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0);
    if (remove) quitPosted = false;
    return true;
  }
  for (HWND candidate : RegisteredWindows()) {
    if (!WantsPaint(candidate)) continue;
    const MSG paint = Stamped(candidate, WM_PAINT, 0, 0);
    if (!Matches(paint, window, first, last)) continue;
    out = paint;
    return true;
  }
  return false;
}

BOOL GetMessageA(LPMSG message, HWND window, UINT first, UINT last) {
  if (message == nullptr) return -1;
  for (;;) {
    if (NextMessage(*message, window, first, last, true)) return message->message == WM_QUIT ? FALSE : TRUE;
    // Nothing can ever arrive without a window system, or once it has gone.
    WindowSystem* system = TheWindowSystem();
    if (system == nullptr || !system->Dispatch(MsUntilStill())) {
      if (NextMessage(*message, window, first, last, true)) return message->message == WM_QUIT ? FALSE : TRUE;
      return -1;
    }
  }
}

void PostQuitMessage(int exitCode) {
  quitPosted = true;
  quitCode = exitCode;
}

// The window takes no keys: no message is a key's.
BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* message) {
  if (message == nullptr) return 0;
  if (!IsLive(message->hwnd)) {
    if (message->message == WM_DROPFILES) DragFinish(reinterpret_cast<HDROP>(message->wParam));
    return 0;
  }
  return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}
