// What the window system reports about a window, turned into the window's
// state and into messages: a new size into WM_SIZE and a repaint, the close
// box into WM_CLOSE, a drop into WM_DROPFILES.
#include "window_events.h"

#include "drop.h"
#include "layer_messages.h"
#include "message_queue.h"
#include "paint_cycle.h"
#include "uri_list.h"
#include "window_record.h"

void ClientAreaChanged(HWND window, int width, int height, int dpi, bool resizing) {
  if (window == nullptr || window->destroyed) return;
  if (width == window->clientWidth && height == window->clientHeight && dpi == window->dpi) return;
  window->clientWidth = width;
  window->clientHeight = height;
  window->dpi = dpi;
  // The size the window is made with is no change of one.
  if (!window->made) return;
  // While it is being resized, paints may be quicker; a window given its
  // size is painted at it exactly.
  if (resizing) NoteResize(window);
  MarkForRepaint(window);
  PostToQueue(window, WM_SIZE, SIZE_RESTORED, SizeParam(width, height));
}

void WindowCanPaint(HWND window) {
  if (!IsLive(window)) return;
  window->canPaint = true;
  MarkForRepaint(window);
}

void WindowNeedsRepaint(HWND window) {
  if (IsLive(window)) MarkForRepaint(window);
}

void CloseRequested(HWND window) {
  if (IsLive(window)) PostToQueue(window, WM_CLOSE, 0, 0);
}

void UrisDropped(HWND window, std::string_view uriList) {
  if (!IsLive(window) || (window->exStyle & WS_EX_ACCEPTFILES) == 0) return;
  auto* drop = new HDROP__{PathsOfUriList(uriList)};
  if (drop->paths.empty()) {
    DragFinish(drop);
    return;
  }
  PostToQueue(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
}
