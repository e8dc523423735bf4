// Presentation on an X server through one MIT-SHM segment for the process,
// sized to the screen: each present converts the client raster into it and
// has the server copy it into the window.
//
// Why not the toolkit's window surface: it makes a new shared segment after
// every resize, which the process and the server then both touch afresh, and
// waits for the server to copy it. Keeping one segment for the life of the
// process makes a repaint after a resize cost what a repaint without one does.
#include "x11_framebuffer.h"

#include <SDL_syswm.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "../gdi/raster_pixels.h"
#include "window_record.h"

namespace {

enum class SegmentState { untried, ready, unavailable };

// How the window's pixels hold a colour, 8 bits each in 32 bits, against the
// COLORREF 0x00BBGGRR of the client raster's pixels.
enum class PixelOrder { unsupported, swapRedBlue, sameAsRaster };

struct Segment {
  SegmentState state = SegmentState::untried;
  Display* display = nullptr;
  int opcode = 0;  // MIT-SHM's major opcode, which its errors carry
  XShmSegmentInfo info{};
  std::size_t bytes = 0;
};

// What is known of the one window last presented.
struct Target {
  HWND owner = nullptr;
  ::Window xwindow = 0;
  Visual* visual = nullptr;
  PixelOrder order = PixelOrder::unsupported;
  GC gc = nullptr;
};

Segment& segment = *new Segment;
Target& target = *new Target;

// Errors of requests on the segment, noted instead of ending the process as
// Xlib's default does; any other error goes where it went before.
int (*previousHandler)(Display*, XErrorEvent*) = nullptr;
bool serverRefused = false;

int NoteSegmentError(Display* display, XErrorEvent* error) {
  if (error->request_code == segment.opcode) {
    serverRefused = true;
    return 0;
  }
  return previousHandler != nullptr ? previousHandler(display, error) : 0;
}

// Sends the requests and waits until the server has handled them, so that
// their errors, which arrive whenever the server gets to them, are known.
template <typename Requests>
bool ServerAccepts(Display* display, Requests requests) {
  serverRefused = false;
  previousHandler = XSetErrorHandler(NoteSegmentError);
  requests();
  XSync(display, False);
  XSetErrorHandler(previousHandler);
  return !serverRefused;
}

// A server on another machine would look the segment's id up in its own
// machine's memory.
bool IsLocal(Display* display) {
  const char* name = DisplayString(display);
  return name != nullptr && (name[0] == ':' || std::strncmp(name, "unix:", 5) == 0);
}

// Makes the segment, as large as the screen, and has the server attach it.
bool StartSegment(Display* display, const Screen* screen) {
  int event = 0, error = 0;
  if (!IsLocal(display) || XShmQueryExtension(display) != True ||
      XQueryExtension(display, "MIT-SHM", &segment.opcode, &event, &error) != True)
    return false;
  const std::size_t bytes =
      static_cast<std::size_t>(WidthOfScreen(screen)) * static_cast<std::size_t>(HeightOfScreen(screen)) * 4;
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) return false;
  void* address = shmat(id, nullptr, 0);
  segment.info = XShmSegmentInfo{};
  segment.info.shmid = id;
  segment.info.shmaddr = static_cast<char*>(address);
  segment.info.readOnly = False;
  const bool attached = address != reinterpret_cast<void*>(-1) &&
                        ServerAccepts(display, [&] { XShmAttach(display, &segment.info); });
  // Marked for removal now, the segment goes when both sides have let go of it,
  // however the process ends.
  shmctl(id, IPC_RMID, nullptr);
  if (!attached) {
    if (address != reinterpret_cast<void*>(-1)) shmdt(address);
    return false;
  }
  segment.display = display;
  segment.bytes = bytes;
  return true;
}

PixelOrder OrderOf(const Visual& visual, int depth) {
  if (depth != 24 || (visual.c_class != TrueColor && visual.c_class != DirectColor))
    return PixelOrder::unsupported;
  if (visual.red_mask == 0xFF0000 && visual.green_mask == 0xFF00 && visual.blue_mask == 0xFF)
    return PixelOrder::swapRedBlue;
  if (visual.red_mask == 0xFF && visual.green_mask == 0xFF00 && visual.blue_mask == 0xFF0000)
    return PixelOrder::sameAsRaster;
  return PixelOrder::unsupported;
}

void ForgetTarget() {
  if (target.gc != nullptr) XFreeGC(segment.display, target.gc);
  target = Target{};
}

// After the server refused a request on the segment, the toolkit's surface
// shows every window from then on.
void AbandonSegment() {
  ForgetTarget();
  shmdt(segment.info.shmaddr);
  segment.state = SegmentState::unavailable;
}

// Learns the window's visual once; the segment is made with the first window.
bool TargetWindow(HWND window, Display* display, ::Window xwindow) {
  if (target.owner == window && target.xwindow == xwindow) return target.order != PixelOrder::unsupported;
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, xwindow, &attributes) == 0) return false;
  if (segment.state == SegmentState::untried) {
    segment.state =
        StartSegment(display, attributes.screen) ? SegmentState::ready : SegmentState::unavailable;
    if (segment.state == SegmentState::unavailable) return false;
  }
  if (display != segment.display) return false;
  ForgetTarget();
  target.owner = window;
  target.xwindow = xwindow;
  target.visual = attributes.visual;
  target.order = OrderOf(*attributes.visual, attributes.depth);
  if (target.order != PixelOrder::unsupported) target.gc = XCreateGC(display, xwindow, 0, nullptr);
  return target.order != PixelOrder::unsupported;
}

}  // namespace

bool PresentThroughSegment(HWND window) {
  if (segment.state == SegmentState::unavailable) return false;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window->sdl, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return false;
  Display* display = info.info.x11.display;
  if (!TargetWindow(window, display, info.info.x11.window)) return false;

  const int width = window->clientWidth, height = window->clientHeight;
  if (width <= 0 || height <= 0 || window->client == nullptr) return false;
  if (static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4 > segment.bytes) return false;
  XImage* image = XShmCreateImage(display, target.visual, 24, ZPixmap, segment.info.shmaddr, &segment.info,
                                  static_cast<unsigned>(width), static_cast<unsigned>(height));
  if (image == nullptr) return false;
  const int hostOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  // Pixels other than 32 bits in the machine's byte order are the toolkit's
  // to convert, for this window from now on.
  if (image->bits_per_pixel != 32 || image->byte_order != hostOrder) target.order = PixelOrder::unsupported;
  const bool fits =
      target.order != PixelOrder::unsupported &&
      static_cast<std::size_t>(image->bytes_per_line) * static_cast<std::size_t>(height) <= segment.bytes;
  if (fits) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * kBytesPerPixel;
    for (int y = 0; y < height; ++y) {
      RowToWords(window->client + static_cast<std::size_t>(y) * rowBytes,
                 reinterpret_cast<std::uint32_t*>(image->data +
                                                  static_cast<std::ptrdiff_t>(y) * image->bytes_per_line),
                 static_cast<std::size_t>(width), target.order == PixelOrder::swapRedBlue);
    }
  }
  // The next present writes into the same segment, so the server must be done
  // reading it: the put is waited for.
  const bool shown = fits && ServerAccepts(display, [&] {
                       XShmPutImage(display, target.xwindow, target.gc, image, 0, 0, 0, 0,
                                    static_cast<unsigned>(width), static_cast<unsigned>(height), False);
                     });
  image->data = nullptr;  // the segment's, not the image's to free
  XDestroyImage(image);
  if (fits && !shown) AbandonSegment();
  return shown;
}

void ForgetSegmentWindow(HWND window) {
  if (target.owner == window) ForgetTarget();
}
