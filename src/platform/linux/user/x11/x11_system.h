// The X11 window system's own parts, shared by its files: the connection with
// its atoms, and what it keeps of each window. Internal to the system.
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../window_system.h"

// The atoms the system names, interned together in one round trip when it
// connects; the predefined ones (WM_NAME, WM_CLASS, STRING, CARDINAL, ATOM)
// need none.
enum AtomName : int {
  kWmProtocols,
  kWmDeleteWindow,
  kMotifWmHints,
  kNetWmName,
  kNetWmIcon,
  kNetWmPid,
  kUtf8String,
  kXdndAware,
  kXdndEnter,
  kXdndPosition,
  kXdndStatus,
  kXdndLeave,
  kXdndDrop,
  kXdndFinished,
  kXdndSelection,
  kXdndTypeList,
  kXdndActionCopy,
  kTextUriList,
  kAtomCount
};

// What a paint of a window draws on, and how the server is handed it: a
// segment of shared memory the server reads itself, or a block of ours whose
// pixels go through the connection.
struct X11Pixels {
  std::uint8_t* bits = nullptr;
  std::size_t bytes = 0;  // of the segment or block, which shrinking keeps
  bool shared = false;
  XShmSegmentInfo segment{};
  // The pixels at the size of the window's last paint, in the server's terms.
  XImage image{};
  // They hold the picture last presented, unchanged since.
  bool holdPicture = false;
};

struct Box {
  int left = 0, top = 0, right = 0, bottom = 0;
};

struct X11Window {
  HWND handle = nullptr;
  ::Window id = 0;
  GC gc = nullptr;
  int width = 0, height = 0;  // the client area, as last reported
  bool acceptsFiles = false;
  bool mapped = false;     // since it was last shown
  bool presented = false;  // a picture, since it was last shown
  X11Pixels pixels;
  // What a series of exposes has uncovered so far.
  Box exposed;
  // The drag over the window: its source, and whether it offers a URI list.
  ::Window dragSource = 0;
  bool dragOffersUris = false;
  // The source of the drop whose URI list is on its way.
  ::Window dropSource = 0;
};

class X11System final : public WindowSystem {
 public:
  explicit X11System(Display* display);
  ~X11System() override;

  bool MakeWindow(HWND window, const WindowRequest& asked) override;
  void DestroyWindow(HWND window) override;
  void ShowWindow(HWND window, bool show) override;
  void SetTitle(HWND window, const std::string& utf8) override;
  void SetIcon(HWND window, const IconImage& image) override;
  WindowPixels PixelsToPaint(HWND window) override;
  void Present(HWND window) override;
  bool Dispatch(int timeoutMs) override;
  std::int64_t NowMs() override;

 private:
  X11Window* Find(HWND handle);
  X11Window* Find(::Window id);
  bool HandleQueuedEvents();
  void Handle(const XEvent& event);
  void ChangeProperty(::Window id, Atom property, Atom type, int format, const void* data, std::size_t count);

  // window.cpp
  bool ChooseVisual();

  // pixels.cpp
  void CheckSharedMemory();
  bool FitPixels(X11Window& window);
  bool MakeSegment(X11Pixels& pixels, std::size_t bytes);
  void ReleasePixels(X11Pixels& pixels);
  void PutPixels(X11Window& window, int left, int top, int right, int bottom);
  bool MoveToBlock(X11Window& window);
  void AnswerExpose(X11Window& window, const XExposeEvent& event);

  // drops.cpp
  void HandleDragMessage(X11Window& window, const XClientMessageEvent& message);
  void HandleDropData(X11Window& window, const XSelectionEvent& event);
  bool OffersUriList(const XClientMessageEvent& enter);
  void SendToSource(::Window source, Atom type, long l0, long l1, long l2, long l3, long l4);

  Display* display_;
  Atom atoms_[kAtomCount] = {};
  int dpi_ = 96;
  // The 24-bit TrueColor visual whose pixels are 0x00RRGGBB, null where the
  // server has none, and a colormap for it.
  Visual* visual_ = nullptr;
  Colormap colormap_ = 0;
  bool ownColormap_ = false;
  // Windows get segments of shared memory: the server is on this machine,
  // has MIT-SHM and keeps 24-bit pixels in 32-bit words of our byte order.
  bool sharedMemory_ = false;
  std::vector<std::unique_ptr<X11Window>> windows_;
};

// The errors the server reports on requests that may fail are noted here and
// otherwise ignored: whether one was about a request of MIT-SHM since the
// last call, the extension's requests being those of this major opcode.
void NoteSharedMemoryOpcode(int opcode);
bool TakeSharedMemoryRefusal();

// The dots per inch a window's device pixels stand for on this display.
int ScreenDpi(Display* display);
