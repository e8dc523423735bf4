// The paint cycle: a window's client area is a raster of our own, marked for
// repainting by the window system or the viewer, painted through the context
// BeginPaint gives, and shown in the window by EndPaint.
#include "paint_cycle.h"

#include <algorithm>
#include <cstring>

#include "../../memory.h"
#include "../gdi/raster_pixels.h"
#include "clock.h"
#include "display_scale.h"
#include "framebuffer.h"
#include "window_record.h"

namespace {

std::size_t ClientBytes(int width, int height) {
  return RasterBytes(static_cast<std::size_t>(width), static_cast<std::size_t>(height));
}

// How long a window's size must stay the same before its paints are exact
// again: long enough to span the steps of a resize by hand, short enough that
// the exact picture, whose paint takes a while for a large picture
// (docs/benchmarks.md), is shown within 150 ms of the last step.
constexpr std::int64_t kStillMs = 80;

bool Resizing(const HWND__& window) { return window.resizedAt >= 0 && NowMs() - window.resizedAt < kStillMs; }

}  // namespace

void FollowClientSize(HWND window) {
  int width = 0, height = 0;
  SDL_GetWindowSizeInPixels(window->sdl, &width, &height);
  if (width == window->clientWidth && height == window->clientHeight) return;
  ReleaseClientRaster(window);
  auto* raster = static_cast<std::uint8_t*>(AllocateBlock(ClientBytes(width, height)));
  if (raster == nullptr) return;                          // no client area to draw on until the next size
  std::memset(raster, 0xFF, ClientBytes(width, height));  // white
  window->client = raster;
  window->clientWidth = width;
  window->clientHeight = height;
}

void ReleaseClientRaster(HWND window) {
  FreeBlock(window->client, ClientBytes(window->clientWidth, window->clientHeight));
  window->client = nullptr;
  window->clientWidth = window->clientHeight = 0;
}

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
  return {window->client, static_cast<std::size_t>(window->clientWidth),
          static_cast<std::size_t>(window->clientHeight), WindowDpi(window), Resizing(*window)};
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL erase) {
  if (!IsLive(window)) return FALSE;
  window->marked = true;
  if (erase) window->erase = true;
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  if (!IsLive(window)) return FALSE;
  if (window->visible && window->marked) SendMessageA(window, WM_PAINT, 0, 0);
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
  if (IsLive(window)) {
    if (paint->hdc->approximated) window->repaintWhenStill = true;
    PresentClientArea(window);
  }
  ReleaseDC(window, paint->hdc);
  return TRUE;
}
