// What the window manager is told about a window: the decorations and
// functions of its style, as Motif window manager hints, and its title.
#include "window_manager.h"

#include <SDL_syswm.h>

#include <array>

#include "../gdi/code_page.h"
#include "layer_messages.h"

namespace {

// _MOTIF_WM_HINTS: which of the fields that follow count, then the functions
// the window manager offers and the decorations it draws.
constexpr unsigned long MWM_HINTS_FUNCTIONS = 1UL << 0;
constexpr unsigned long MWM_HINTS_DECORATIONS = 1UL << 1;
constexpr unsigned long MWM_FUNC_RESIZE = 1UL << 1;
constexpr unsigned long MWM_FUNC_MOVE = 1UL << 2;
constexpr unsigned long MWM_FUNC_MINIMIZE = 1UL << 3;
constexpr unsigned long MWM_FUNC_MAXIMIZE = 1UL << 4;
constexpr unsigned long MWM_FUNC_CLOSE = 1UL << 5;
constexpr unsigned long MWM_DECOR_BORDER = 1UL << 1;
constexpr unsigned long MWM_DECOR_RESIZEH = 1UL << 2;
constexpr unsigned long MWM_DECOR_TITLE = 1UL << 3;
constexpr unsigned long MWM_DECOR_MENU = 1UL << 4;
constexpr unsigned long MWM_DECOR_MINIMIZE = 1UL << 5;
constexpr unsigned long MWM_DECOR_MAXIMIZE = 1UL << 6;

// flags, functions, decorations, input mode, status: longs, as Xlib hands
// 32-bit properties over.
using MotifHints = std::array<unsigned long, 5>;

// A caption can be dragged, a thick frame resized; the system menu holds the
// close command; each box offers what it names.
MotifHints MotifHintsForStyle(DWORD style) {
  const bool caption = (style & WS_CAPTION) == WS_CAPTION;
  const bool frame = (style & WS_THICKFRAME) != 0;
  unsigned long functions = 0;
  unsigned long decorations = 0;
  if (caption) {
    functions |= MWM_FUNC_MOVE;
    decorations |= MWM_DECOR_BORDER | MWM_DECOR_TITLE;
  }
  if (frame) {
    functions |= MWM_FUNC_RESIZE;
    decorations |= MWM_DECOR_BORDER | MWM_DECOR_RESIZEH;
  }
  if ((style & WS_SYSMENU) != 0) {
    functions |= MWM_FUNC_CLOSE;
    decorations |= MWM_DECOR_MENU;
  }
  if ((style & WS_MINIMIZEBOX) != 0) {
    functions |= MWM_FUNC_MINIMIZE;
    decorations |= MWM_DECOR_MINIMIZE;
  }
  if ((style & WS_MAXIMIZEBOX) != 0) {
    functions |= MWM_FUNC_MAXIMIZE;
    decorations |= MWM_DECOR_MAXIMIZE;
  }
  return {MWM_HINTS_FUNCTIONS | MWM_HINTS_DECORATIONS, functions, decorations, 0, 0};
}

}  // namespace

void HandFrameHints(SDL_Window* window, DWORD style) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11)
    return;
  // Wayland has no equivalent: xdg-shell lets the compositor tell the window
  // what it offers, not the other way round.
  Display* display = info.info.x11.display;
  const Atom hints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  const MotifHints values = MotifHintsForStyle(style);
  XChangeProperty(display, info.info.x11.window, hints, hints, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(values.data()), static_cast<int>(values.size()));
  XFlush(display);
}

std::string DesktopTitle(std::string_view caption) {
  std::string title = Utf8FromCp932(caption);
  // In UTF-8 no byte of a longer character falls below 0x80.
  std::erase_if(title, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
  return title;
}
