// The paint cycle: a window's client area is marked for repainting by the
// window system or the viewer, painted through the context BeginPaint gives
// on the pixels the window system hands out, and shown by EndPaint.
#include "paint_cycle.h"

#include "display.h"
#include "window_record.h"

namespace {

// How long a window's size must stay the same before its paints are exact
// again: long enough to span the steps of a resize by hand, short enough that
// the exact picture, whose paint takes a while for a large picture
// (docs/benchmarks.md), is shown within 150 ms of the last step.
constexpr std::int64_t kStillMs = 80;

bool Resizing(const HWND__& window) {
  return window.resizedAt >= 0 && NowMs() - window.resizedAt < kStillMs;
}

}  // namespace

void MarkForRepaint(HWND window) {
  window->marked = true;
  window->erase = true;
}

void NoteResize(HWND window) { window->resizedAt = NowMs(); }

void MarkWindowsNowStill() {
  for (HWND window : RegisteredWindows()) {
    if (window->destroyed || !window->repaintWhenStill || Resizing(*window)) continue;
    window->repaintWhenStill = false;
    MarkForRepaint(window);
  }
}

int MsUntilStill() {
  int soonest = -1;
  for (HWND window : RegisteredWindows()) {
    if (window->destroyed || !window->repaintWhenStill) continue;
    const std::int64_t since = NowMs() - window->resizedAt;
    const int left = since >= kStillMs ? 0 : static_cast<int>(kStillMs - since);
    if (soonest < 0 || left < soonest) soonest = left;
  }
  return soonest;
}

ClientArea ClientAreaOf(HWND window) {
  if (!IsLive(window)) return {};
  const WindowPixels& pixels = window->pixels;
  return {pixels.bits,
          static_cast<std::size_t>(pixels.width),
          static_cast<std::size_t>(pixels.height),
          pixels.stride,
          window->dpi,
          Resizing(*window)};
}

bool WantsPaint(HWND window) {
  return !window->destroyed && window->visible && window->canPaint && window->marked;
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL erase) {
  if (!IsLive(window)) return FALSE;
  window->marked = true;
  if (erase) window->erase = true;
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  if (!IsLive(window)) return FALSE;
  if (WantsPaint(window)) SendMessageA(window, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
  if (!IsLive(window) || rect == nullptr) return FALSE;
  *rect = RECT{0, 0, window->clientWidth, window->clientHeight};
  return TRUE;
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  if (!IsLive(window) || paint == nullptr) return nullptr;
  *paint = PAINTSTRUCT{};
  // The pixels the window shows next; none where the window system has none
  // (the reason has gone to CannotShowWindow), and the paint draws nothing.
  window->pixels = TheWindowSystem()->PixelsToPaint(window);
  HDC dc = GetDC(window);
  if (dc == nullptr) return nullptr;
  paint->hdc = dc;
  paint->rcPaint = RECT{0, 0, window->clientWidth, window->clientHeight};
  const bool erase = window->erase;
  window->marked = window->erase = false;
  if (erase) paint->fErase = SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
  return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (paint == nullptr || paint->hdc == nullptr) return FALSE;
  if (IsLive(window) && window->pixels.bits != nullptr) {
    if (paint->hdc->approximated) window->repaintWhenStill = true;
    TheWindowSystem()->Present(window);
    window->presented = true;
  }
  ReleaseDC(window, paint->hdc);
  return TRUE;
}
