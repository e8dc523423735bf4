// The display system under the window part of the layer: X11 or Wayland for
// the program, one without a display for the tests. It makes the windows,
// hands out the pixels a paint draws on and shows them; what happens to its
// windows it reports through the calls of window_events.h. The rest of the
// window part (window records, the message queue, the paint cycle, the
// dialog) is the same on every system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "../user.h"

struct IconImage;

// What a window is made with. Sizes and places are in pixels at 96 dots per
// inch; the system makes the window as much larger as its screen is dense.
struct WindowRequest {
  std::string title;          // UTF-8, without control characters
  int x = 0, y = 0;           // where the window goes, from the screen's top-left corner
  int width = 0, height = 0;  // the client area
  DWORD style = 0;            // the dialog's window styles: the frame it asks for
  bool acceptsFiles = false;  // files may be dropped onto it
};

// A window's pixels: 4 bytes each, blue, green, red and one unused (the
// 32-bit word 0x00RRGGBB in the machine's little-endian order; XRGB8888), rows
// `stride` bytes apart, top row first. What a paint does not draw over holds
// whatever the pixels last held.
struct WindowPixels {
  std::uint8_t* bits = nullptr;
  int width = 0, height = 0;
  std::size_t stride = 0;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Makes the system's window for the layer's window, hidden. Before it
  // returns it reports the client area's size and density with
  // ClientAreaChanged. False, having made nothing, when it cannot; the reason
  // went to CannotShowWindow.
  virtual bool MakeWindow(HWND window, const WindowRequest& asked) = 0;
  // The window goes; nothing of it is used again.
  virtual void DestroyWindow(HWND window) = 0;
  // Shows (maps and raises) or hides the window. Once shown, the window
  // reports WindowCanPaint when a paint can reach the screen at the size it
  // will be shown at: on X11 once it is mapped, on Wayland once the
  // compositor has configured it.
  virtual void ShowWindow(HWND window, bool show) = 0;
  virtual void SetTitle(HWND window, const std::string& utf8) = 0;
  // The image the desktop shows for the window, where the system shows one.
  virtual void SetIcon(HWND window, const IconImage& image) = 0;

  // The pixels the next paint of the window draws on, of the size
  // ClientAreaChanged last reported. They stay valid until the next call for
  // the window or its destruction. Empty when there are none; the reason went
  // to CannotShowWindow. Calls back into the layer for nothing.
  virtual WindowPixels PixelsToPaint(HWND window) = 0;
  // Shows in the window what was painted on the pixels PixelsToPaint gave
  // last. Calls back into the layer for nothing but CannotShowWindow.
  virtual void Present(HWND window) = 0;

  // Handles what the system has sent, waiting first up to timeoutMs for
  // something to come (-1: as long as it takes; 0: not at all). False when
  // nothing can come any more: the connection has gone, and the reason went
  // to CannotShowWindow.
  virtual bool Dispatch(int timeoutMs) = 0;

  // Milliseconds on a clock that only moves forward.
  virtual std::int64_t NowMs() = 0;
};

// The system the program runs on: Wayland where WAYLAND_DISPLAY names a
// compositor that answers, else X11 where DISPLAY names a server that
// answers. Null when there is none; why goes to `why`, in words a user can
// act on ("DISPLAY is not set", "DISPLAY=:5 does not answer"). The program
// and the tests link different definitions.
WindowSystem* ConnectWindowSystem(std::string& why);

// Each display system's connection: null, with the reason in `why`, when its
// display does not answer.
WindowSystem* ConnectX11(std::string& why);
WindowSystem* ConnectWayland(std::string& why);
