// The windows on the X server, and what the window manager is told of each:
// its size and place, the frame its style asks for, its title, icon and owner.
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "../icons.h"
#include "../layer_messages.h"
#include "../window_events.h"
#include "x11_system.h"

namespace {

// _MOTIF_WM_HINTS: which of the fields that follow count, then the functions
// the window manager offers and the decorations it draws.
enum : unsigned long { kMotifFunctions = 1UL << 0, kMotifDecorations = 1UL << 1 };
enum : unsigned long {
  kFunctionResize = 1UL << 1,
  kFunctionMove = 1UL << 2,
  kFunctionMinimize = 1UL << 3,
  kFunctionMaximize = 1UL << 4,
  kFunctionClose = 1UL << 5
};
enum : unsigned long {
  kDecorBorder = 1UL << 1,
  kDecorResizeHandles = 1UL << 2,
  kDecorTitle = 1UL << 3,
  kDecorMenu = 1UL << 4,
  kDecorMinimize = 1UL << 5,
  kDecorMaximize = 1UL << 6
};

// What each part of a style offers: a caption can be dragged, a thick frame
// resized, the system menu holds the close command, each box does what it
// names. A part counts when all its bits are set (a caption is two).
struct StylePart {
  DWORD bits;
  unsigned long functions;
  unsigned long decorations;
};
constexpr StylePart kStyleParts[] = {
    {WS_CAPTION, kFunctionMove, kDecorBorder | kDecorTitle},
    {WS_THICKFRAME, kFunctionResize, kDecorBorder | kDecorResizeHandles},
    {WS_SYSMENU, kFunctionClose, kDecorMenu},
    {WS_MINIMIZEBOX, kFunctionMinimize, kDecorMinimize},
    {WS_MAXIMIZEBOX, kFunctionMaximize, kDecorMaximize},
};

// XDND's version, which the window's XdndAware names.
constexpr long kXdndVersion = 5;

// Sizes at 96 dots per inch made as large as the screen is dense, within
// what the protocol can carry.
int Scaled(int size, int dpi) {
  const long scaled = std::lround(static_cast<double>(size) * dpi / 96);
  return static_cast<int>(std::clamp(scaled, 1L, 32767L));
}

}  // namespace

// Xlib hands 32-bit items over as longs, whatever a long's size.
void X11System::ChangeProperty(::Window id, Atom property, Atom type, int format, const void* data,
                               std::size_t count) {
  XChangeProperty(display_, id, property, type, format, PropModeReplace,
                  static_cast<const unsigned char*>(data), static_cast<int>(count));
}

// The default visual, as it nearly always is; another one needs a colormap of
// its own.
bool X11System::ChooseVisual() {
  XVisualInfo wanted{};
  wanted.screen = DefaultScreen(display_);
  wanted.depth = 24;
  wanted.c_class = TrueColor;
  wanted.red_mask = 0xFF0000;
  wanted.green_mask = 0xFF00;
  wanted.blue_mask = 0xFF;
  const long mask = VisualScreenMask | VisualDepthMask | VisualClassMask | VisualRedMaskMask |
                    VisualGreenMaskMask | VisualBlueMaskMask;
  int count = 0;
  XVisualInfo* found = XGetVisualInfo(display_, mask, &wanted, &count);
  if (found == nullptr) return false;
  Visual* standard = DefaultVisual(display_, wanted.screen);
  visual_ = found[0].visual;
  for (int i = 0; i < count; ++i) {
    if (found[i].visual == standard) visual_ = standard;
  }
  XFree(found);
  if (visual_ == standard) {
    colormap_ = DefaultColormap(display_, wanted.screen);
  } else {
    colormap_ = XCreateColormap(display_, RootWindow(display_, wanted.screen), visual_, AllocNone);
    ownColormap_ = true;
  }
  return true;
}

bool X11System::MakeWindow(HWND handle, const WindowRequest& asked) {
  if (visual_ == nullptr && !ChooseVisual()) {
    CannotShowWindow(
        "the X server has no 24-bit TrueColor visual with red, green and blue at 0xFF0000, 0xFF00 and 0xFF");
    return false;
  }
  auto window = std::make_unique<X11Window>();
  window->handle = handle;
  window->width = Scaled(asked.width, dpi_);
  window->height = Scaled(asked.height, dpi_);
  window->acceptsFiles = asked.acceptsFiles;

  // No background: the server would fill the window with it before the first
  // picture (1.7 ms for 1200 x 900 under Xvfb), which covers it all anyway;
  // what the window showed stays where it was when it grows.
  XSetWindowAttributes attributes{};
  attributes.background_pixmap = None;
  attributes.border_pixel = 0;
  attributes.bit_gravity = NorthWestGravity;
  attributes.colormap = colormap_;
  attributes.event_mask = ExposureMask | StructureNotifyMask;
  window->id = XCreateWindow(
      display_, DefaultRootWindow(display_), asked.x, asked.y, static_cast<unsigned>(window->width),
      static_cast<unsigned>(window->height), 0, 24, InputOutput, visual_,
      CWBackPixmap | CWBorderPixel | CWBitGravity | CWColormap | CWEventMask, &attributes);
  window->gc = XCreateGC(display_, window->id, 0, nullptr);

  // Placed and sized by the program; no least or largest size, so the user
  // can make it any size.
  XSizeHints size{};
  size.flags = PPosition | PSize;
  size.x = asked.x;
  size.y = asked.y;
  size.width = window->width;
  size.height = window->height;
  XSetWMNormalHints(display_, window->id, &size);
  XWMHints hints{};
  hints.flags = InputHint | StateHint;
  hints.input = True;
  hints.initial_state = NormalState;
  XSetWMHints(display_, window->id, &hints);
  static constexpr char kClass[] = "rastelle\0rastelle";
  ChangeProperty(window->id, XA_WM_CLASS, XA_STRING, 8, kClass, sizeof kClass);
  ChangeProperty(window->id, atoms_[kWmProtocols], XA_ATOM, 32, &atoms_[kWmDeleteWindow], 1);

  unsigned long motif[5] = {kMotifFunctions | kMotifDecorations, 0, 0, 0, 0};
  for (const StylePart& part : kStyleParts) {
    if ((asked.style & part.bits) != part.bits) continue;
    motif[1] |= part.functions;
    motif[2] |= part.decorations;
  }
  ChangeProperty(window->id, atoms_[kMotifWmHints], atoms_[kMotifWmHints], 32, motif, 5);

  // Which process on which machine shows the window, for the desktop to tell.
  const long pid = getpid();
  ChangeProperty(window->id, atoms_[kNetWmPid], XA_CARDINAL, 32, &pid, 1);
  char host[HOST_NAME_MAX + 1] = {};
  if (gethostname(host, sizeof host - 1) == 0)
    ChangeProperty(window->id, XA_WM_CLIENT_MACHINE, XA_STRING, 8, host, std::strlen(host));
  if (asked.acceptsFiles) ChangeProperty(window->id, atoms_[kXdndAware], XA_ATOM, 32, &kXdndVersion, 1);

  windows_.push_back(std::move(window));
  SetTitle(handle, asked.title);
  ClientAreaChanged(handle, windows_.back()->width, windows_.back()->height, dpi_, false);
  return true;
}

void X11System::DestroyWindow(HWND handle) {
  X11Window* window = Find(handle);
  if (window == nullptr) return;
  ReleasePixels(window->pixels);
  XFreeGC(display_, window->gc);
  XDestroyWindow(display_, window->id);
  XFlush(display_);
  std::erase_if(windows_, [&](const auto& kept) { return kept.get() == window; });
}

// A shown window is painted once it is mapped: a window manager may give it
// another size first, and the first picture is then painted at that size.
void X11System::ShowWindow(HWND handle, bool show) {
  X11Window* window = Find(handle);
  if (window == nullptr) return;
  window->mapped = window->presented = false;
  if (!show) {
    // Withdrawn, not only unmapped, so that a window manager lets go of it.
    XWithdrawWindow(display_, window->id, DefaultScreen(display_));
    XFlush(display_);
    return;
  }
  XMapRaised(display_, window->id);
  XFlush(display_);
}

void X11System::SetTitle(HWND handle, const std::string& utf8) {
  X11Window* window = Find(handle);
  if (window == nullptr) return;
  for (Atom name : {atoms_[kNetWmName], XA_WM_NAME})
    ChangeProperty(window->id, name, atoms_[kUtf8String], 8, utf8.data(), utf8.size());
}

// _NET_WM_ICON: the width, the height, then the pixels as 0xAARRGGBB, top row
// first, each a 32-bit item.
void X11System::SetIcon(HWND handle, const IconImage& image) {
  X11Window* window = Find(handle);
  if (window == nullptr) return;
  const std::size_t pixels = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
  if (image.width <= 0 || image.height <= 0 || image.argb.size() < pixels) {
    XDeleteProperty(display_, window->id, atoms_[kNetWmIcon]);
    return;
  }
  std::vector<unsigned long> items;
  items.reserve(2 + pixels);
  items.push_back(static_cast<unsigned long>(image.width));
  items.push_back(static_cast<unsigned long>(image.height));
  items.insert(items.end(), image.argb.begin(), image.argb.begin() + static_cast<std::ptrdiff_t>(pixels));
  ChangeProperty(window->id, atoms_[kNetWmIcon], XA_CARDINAL, 32, items.data(), items.size());
}
