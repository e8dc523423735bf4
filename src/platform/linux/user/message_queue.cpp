// The message queue: messages posted by the layer's event translation and by
// the viewer, the quit request, and paint messages for marked windows.
#include "message_queue.h"

#include <deque>

#include "clock.h"
#include "events.h"
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
  PumpEvents();
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
    if (candidate->destroyed || !candidate->visible || !candidate->marked) continue;
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
    // Nothing can ever arrive without a window system.
    if (!WaitForEvent(MsUntilStill())) return -1;
  }
}

void PostQuitMessage(int exitCode) {
  quitPosted = true;
  quitCode = exitCode;
}

BOOL TranslateMessage(const MSG* message) {
  if (message == nullptr || (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN))
    return FALSE;
  const WPARAM key = message->wParam;
  WPARAM character = 0;
  if (key >= 'A' && key <= 'Z') character = key - 'A' + 'a';
  if ((key >= '0' && key <= '9') || key == VK_SPACE || key == VK_RETURN || key == VK_ESCAPE) character = key;
  if (character == 0) return FALSE;
  // The character comes next, before anything posted after the key.
  const UINT charMessage = message->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
  posted.push_front(MSG{message->hwnd, charMessage, character, message->lParam, message->time, message->pt});
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* message) {
  if (message == nullptr) return 0;
  if (!IsLive(message->hwnd)) {
    if (message->message == WM_DROPFILES) DragFinish(reinterpret_cast<HDROP>(message->wParam));
    return 0;
  }
  return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}
