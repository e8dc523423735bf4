// A window's pixels and presenting them: a segment of memory shared with the
// server where it can read one, else a block of ours sent over the connection.
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "../../../memory.h"
#include "../window_events.h"
#include "x11_system.h"

namespace {

constexpr int kBitsPerPixel = 32;

// A server on another machine would look the segment's id up in its own
// machine's memory.
bool IsLocal(Display* display) {
  const char* name = DisplayString(display);
  return name != nullptr && (name[0] == ':' || std::strncmp(name, "unix:", 5) == 0);
}

// The server reads a segment as it keeps pixels itself, so it must keep
// 24-bit ones as our 32-bit words: their size and byte order.
bool KeepsOurWords(Display* display) {
  constexpr int kOurOrder = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  if (ImageByteOrder(display) != kOurOrder) return false;
  int count = 0;
  XPixmapFormatValues* formats = XListPixmapFormats(display, &count);
  bool ours = false;
  for (int i = 0; i < count; ++i) {
    if (formats[i].depth == 24) ours = formats[i].bits_per_pixel == kBitsPerPixel;
  }
  XFree(formats);
  return ours;
}

// The pixels of a paint as the server is told of them: 0x00RRGGBB words, rows
// packed. Xlib converts them for a server that keeps another format.
void DescribeImage(XImage& image, std::uint8_t* bits, int width, int height, XShmSegmentInfo* segment) {
  image = XImage{};
  image.width = width;
  image.height = height;
  image.format = ZPixmap;
  image.data = reinterpret_cast<char*>(bits);
  image.byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  image.bitmap_unit = kBitsPerPixel;
  image.bitmap_bit_order = image.byte_order;
  image.bitmap_pad = kBitsPerPixel;
  image.depth = 24;
  image.bytes_per_line = width * 4;
  image.bits_per_pixel = kBitsPerPixel;
  image.red_mask = 0xFF0000;
  image.green_mask = 0xFF00;
  image.blue_mask = 0xFF;
  image.obdata = reinterpret_cast<XPointer>(segment);
  XInitImage(&image);
}

std::string NoMemoryFor(const X11Window& window) {
  return "no memory for the pixels of a window of " + std::to_string(window.width) + " x " +
         std::to_string(window.height);
}

}  // namespace

void X11System::CheckSharedMemory() {
  int opcode = 0, event = 0, error = 0;
  sharedMemory_ = IsLocal(display_) && KeepsOurWords(display_) && XShmQueryExtension(display_) == True &&
                  XQueryExtension(display_, "MIT-SHM", &opcode, &event, &error) == True;
  if (sharedMemory_) NoteSharedMemoryOpcode(opcode);
}

// Made, marked for removal and attached by the server, which reports by the
// next round trip whether it could; a server that refuses one segment is
// offered none again.
bool X11System::MakeSegment(X11Pixels& pixels, std::size_t bytes) {
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) return false;
  void* address = shmat(id, nullptr, 0);
  // Marked now, the segment goes once the server and we have let go of it,
  // however the process ends.
  shmctl(id, IPC_RMID, nullptr);
  if (address == reinterpret_cast<void*>(-1)) return false;
  pixels.segment = XShmSegmentInfo{};
  pixels.segment.shmid = id;
  pixels.segment.shmaddr = static_cast<char*>(address);
  pixels.segment.readOnly = False;
  XShmAttach(display_, &pixels.segment);
  XSync(display_, False);
  if (TakeSharedMemoryRefusal()) {
    shmdt(address);
    sharedMemory_ = false;
    return false;
  }
  pixels.bits = static_cast<std::uint8_t*>(address);
  pixels.bytes = bytes;
  pixels.shared = true;
  return true;
}

void X11System::ReleasePixels(X11Pixels& pixels) {
  if (pixels.shared) {
    XShmDetach(display_, &pixels.segment);
    shmdt(pixels.segment.shmaddr);
  } else {
    FreeBlock(pixels.bits, pixels.bytes);
  }
  pixels = X11Pixels{};
}

// Pixels as large as the window: made afresh only when it has grown past
// them, and described at its size.
bool X11System::FitPixels(X11Window& window) {
  X11Pixels& pixels = window.pixels;
  const std::size_t bytes =
      static_cast<std::size_t>(window.width) * static_cast<std::size_t>(window.height) * 4;
  if (bytes > pixels.bytes) {
    ReleasePixels(pixels);
    if (!(sharedMemory_ && MakeSegment(pixels, bytes))) {
      pixels.bits = static_cast<std::uint8_t*>(AllocateBlock(bytes));
      if (pixels.bits == nullptr) {
        CannotShowWindow(NoMemoryFor(window));
        return false;
      }
      pixels.bytes = bytes;
    }
  }
  if (pixels.image.width != window.width || pixels.image.height != window.height)
    DescribeImage(pixels.image, pixels.bits, window.width, window.height, &pixels.segment);
  return true;
}

WindowPixels X11System::PixelsToPaint(HWND handle) {
  X11Window* window = Find(handle);
  if (window == nullptr || !FitPixels(*window)) return {};
  window->pixels.holdPicture = false;
  return {window->pixels.bits, window->width, window->height, static_cast<std::size_t>(window->width) * 4};
}

void X11System::Present(HWND handle) {
  X11Window* window = Find(handle);
  if (window == nullptr || window->pixels.bits == nullptr) return;
  PutPixels(*window, 0, 0, window->pixels.image.width, window->pixels.image.height);
  window->pixels.holdPicture = true;
  window->presented = window->mapped;
}

// The server copies a segment when it gets to the request, so the next paint,
// which writes into the same memory, waits for it; the wait also tells
// whether it could. A block's pixels are on their way once the call returns.
void X11System::PutPixels(X11Window& window, int left, int top, int right, int bottom) {
  X11Pixels& pixels = window.pixels;
  const auto width = static_cast<unsigned>(right - left), height = static_cast<unsigned>(bottom - top);
  if (pixels.shared) {
    XShmPutImage(display_, window.id, window.gc, &pixels.image, left, top, left, top, width, height, False);
    XSync(display_, False);
    if (!TakeSharedMemoryRefusal()) return;
    // Refused after all: from now on the pixels are a block of ours, sent
    // over the connection.
    sharedMemory_ = false;
    if (!MoveToBlock(window)) return;
  }
  XPutImage(display_, window.id, window.gc, &pixels.image, left, top, left, top, width, height);
  XFlush(display_);
}

// The pixels as they are, moved from the segment into a block.
bool X11System::MoveToBlock(X11Window& window) {
  X11Pixels& pixels = window.pixels;
  auto* block = static_cast<std::uint8_t*>(AllocateBlock(pixels.bytes));
  if (block != nullptr) std::memcpy(block, pixels.bits, pixels.bytes);
  XShmDetach(display_, &pixels.segment);
  shmdt(pixels.segment.shmaddr);
  pixels.shared = false;
  pixels.bits = block;
  pixels.image.data = reinterpret_cast<char*>(block);
  if (block != nullptr) return true;
  pixels = X11Pixels{};
  CannotShowWindow(NoMemoryFor(window));
  return false;
}

// Exposes come in series, the last with a count of 0: what they uncovered is
// put again at once if the pixels hold the window's picture at its size now,
// else the window is painted anew.
void X11System::AnswerExpose(X11Window& window, const XExposeEvent& event) {
  Box& box = window.exposed;
  const bool first = box.right <= box.left || box.bottom <= box.top;
  box.left = first ? event.x : std::min(box.left, event.x);
  box.top = first ? event.y : std::min(box.top, event.y);
  box.right = std::max(first ? 0 : box.right, event.x + event.width);
  box.bottom = std::max(first ? 0 : box.bottom, event.y + event.height);
  if (event.count > 0) return;
  const Box uncovered{std::max(box.left, 0), std::max(box.top, 0), std::min(box.right, window.width),
                      std::min(box.bottom, window.height)};
  box = Box{};
  const X11Pixels& pixels = window.pixels;
  if (!pixels.holdPicture || pixels.image.width != window.width || pixels.image.height != window.height) {
    WindowNeedsRepaint(window.handle);
  } else if (uncovered.right > uncovered.left && uncovered.bottom > uncovered.top) {
    PutPixels(window, uncovered.left, uncovered.top, uncovered.right, uncovered.bottom);
  }
}
