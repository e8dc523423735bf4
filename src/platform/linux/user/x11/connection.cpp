// The connection to the X server: opening it with its atoms and error
// handlers, then waiting for its events and handing each to what it concerns.
#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "../window_events.h"
#include "x11_system.h"

namespace {

// Interned in the order of AtomName.
const char* const kAtomNames[] = {
    "WM_PROTOCOLS", "WM_DELETE_WINDOW", "_MOTIF_WM_HINTS", "_NET_WM_NAME", "_NET_WM_ICON",   "_NET_WM_PID",
    "UTF8_STRING",  "XdndAware",        "XdndEnter",       "XdndPosition", "XdndStatus",     "XdndLeave",
    "XdndDrop",     "XdndFinished",     "XdndSelection",   "XdndTypeList", "XdndActionCopy", "text/uri-list"};
static_assert(std::size(kAtomNames) == kAtomCount);

// The core requests' codes of X11/Xproto.h, whose types clash with the
// layer's.
constexpr unsigned char kGetPropertyRequest = 20;
constexpr unsigned char kSendEventRequest = 25;

int sharedMemoryOpcode = -1;
bool sharedMemoryRefused = false;

// Xlib's own handler ends the process on any error. Those of requests that
// may fail are noted (MIT-SHM's) or passed over: a drag's source may be gone
// by the time we answer it or read its list of types. Any other leaves a
// window the layer cannot count on, which it is told.
int NoteError(Display*, XErrorEvent* error) {
  if (error->request_code == sharedMemoryOpcode) {
    sharedMemoryRefused = true;
  } else if (error->request_code != kGetPropertyRequest && error->request_code != kSendEventRequest) {
    CannotShowWindow("the X server refused request " + std::to_string(error->request_code) + "." +
                     std::to_string(error->minor_code) + " with error " + std::to_string(error->error_code));
  }
  return 0;
}

// Xlib would end the process once this returned; it ends here as the layer
// ends on a window it can no longer show.
int ConnectionLost(Display*) {
  std::fputs("rastelle: cannot show the window (the connection to the X server was lost)\n", stderr);
  std::exit(1);
}

}  // namespace

void NoteSharedMemoryOpcode(int opcode) { sharedMemoryOpcode = opcode; }

bool TakeSharedMemoryRefusal() {
  const bool refused = sharedMemoryRefused;
  sharedMemoryRefused = false;
  return refused;
}

WindowSystem* ConnectX11(std::string& why) {
  const char* name = std::getenv("DISPLAY");
  if (name == nullptr || name[0] == '\0') {
    why = "DISPLAY is not set";
    return nullptr;
  }
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    why = std::string("DISPLAY=") + name + " does not answer";
    return nullptr;
  }
  XSetErrorHandler(NoteError);
  XSetIOErrorHandler(ConnectionLost);
  return new X11System(display);
}

X11System::X11System(Display* display) : display_(display) {
  XInternAtoms(display_, const_cast<char**>(kAtomNames), kAtomCount, False, atoms_);
  dpi_ = ScreenDpi(display_);
  CheckSharedMemory();
}

X11System::~X11System() {
  while (!windows_.empty()) DestroyWindow(windows_.back()->handle);
  if (ownColormap_) XFreeColormap(display_, colormap_);
  XCloseDisplay(display_);
}

X11Window* X11System::Find(HWND handle) {
  for (auto& window : windows_) {
    if (window->handle == handle) return window.get();
  }
  return nullptr;
}

X11Window* X11System::Find(::Window id) {
  for (auto& window : windows_) {
    if (window->id == id) return window.get();
  }
  return nullptr;
}

bool X11System::Dispatch(int timeoutMs) {
  XFlush(display_);
  if (HandleQueuedEvents() || timeoutMs == 0) return true;
  pollfd connection{ConnectionNumber(display_), POLLIN, 0};
  const std::int64_t deadline = NowMs() + timeoutMs;
  for (;;) {
    const std::int64_t wait = timeoutMs < 0 ? -1 : std::max<std::int64_t>(0, deadline - NowMs());
    if (poll(&connection, 1, static_cast<int>(wait)) >= 0) break;
    if (errno != EINTR) {
      CannotShowWindow(std::string("cannot wait for the X server: ") + std::strerror(errno));
      return false;
    }
  }
  // A connection that has gone reads as such here, and the I/O error handler
  // ends the process.
  HandleQueuedEvents();
  return true;
}

// Events an earlier round trip read are queued already, where poll would not
// see them; XPending also sends whatever handling them asked for.
bool X11System::HandleQueuedEvents() {
  bool handled = false;
  for (XEvent event; XPending(display_) > 0; handled = true) {
    XNextEvent(display_, &event);
    Handle(event);
  }
  return handled;
}

void X11System::Handle(const XEvent& event) {
  X11Window* window = Find(event.xany.window);
  if (window == nullptr) return;
  switch (event.type) {
    case ConfigureNotify:
      if (event.xconfigure.width != window->width || event.xconfigure.height != window->height) {
        window->width = event.xconfigure.width;
        window->height = event.xconfigure.height;
        // A window manager that sizes the window before it maps it gives it
        // its first size; once a picture is shown, the user resizes it.
        ClientAreaChanged(window->handle, window->width, window->height, dpi_,
                          window->mapped && window->presented);
      }
      return;
    case MapNotify:
      if (!window->mapped) WindowCanPaint(window->handle);
      window->mapped = true;
      return;
    case Expose:
      AnswerExpose(*window, event.xexpose);
      return;
    case DestroyNotify:
      // Another program's doing: DestroyWindow forgets a window before the
      // server can report it gone.
      CannotShowWindow("another program destroyed the window");
      return;
    case ClientMessage:
      if (event.xclient.message_type == atoms_[kWmProtocols] && event.xclient.format == 32 &&
          static_cast<Atom>(event.xclient.data.l[0]) == atoms_[kWmDeleteWindow]) {
        CloseRequested(window->handle);
      } else {
        HandleDragMessage(*window, event.xclient);
      }
      return;
    case SelectionNotify:
      HandleDropData(*window, event.xselection);
      return;
    default:
      return;
  }
}

std::int64_t X11System::NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
