// The Wayland window system's own parts: what it keeps of the connection, of
// each window and of its buffers, shared by the files that do its jobs.
#pragma once

#include <wayland-client.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "../window_system.h"

struct libdecor;
struct libdecor_frame;
struct wl_cursor_theme;
struct xdg_surface;
struct xdg_toplevel;
struct xdg_wm_base;
struct zxdg_decoration_manager_v1;
struct zxdg_toplevel_decoration_v1;

namespace wayland {

class System;

struct Output {
  System* system = nullptr;
  wl_output* proxy = nullptr;
  std::uint32_t name = 0;  // the registry's
  int scale = 1;
  int pendingScale = 1;  // until the output's done
};

// A buffer in shared memory that the window's pixels are painted into.
struct Buffer {
  wl_buffer* proxy = nullptr;
  std::uint8_t* bits = nullptr;
  std::size_t bytes = 0;
  int width = 0, height = 0;  // device pixels
  int scale = 1;              // the buffer scale it was made for
  bool busy = false;          // committed, and not yet given back by the compositor
};

struct Window {
  System* system = nullptr;
  HWND handle = nullptr;
  std::string title;
  DWORD style = 0;
  bool acceptsFiles = false;
  wl_surface* surface = nullptr;
  // The role: an xdg toplevel of our own, or one that libdecor made and
  // decorates; none while the window is hidden.
  xdg_surface* shellSurface = nullptr;
  xdg_toplevel* toplevel = nullptr;
  zxdg_toplevel_decoration_v1* decoration = nullptr;
  libdecor_frame* frame = nullptr;
  bool shown = false;
  bool configured = false;                  // the first configure came: a buffer may be attached
  wl_callback* asking = nullptr;            // a blank first buffer waits for the compositor's answer
  bool presented = false;                   // a buffer is committed since the window was shown
  int width = 0, height = 0;                // logical pixels, 96 dpi at scale 1
  int pendingWidth = 0, pendingHeight = 0;  // of the toplevel's configure, until the surface's
  bool pendingResizing = false;             // likewise
  int scale = 1;                            // device pixels a logical pixel
  int committedScale = 1;                   // the surface's buffer scale
  std::vector<wl_output*> outputs;          // those the surface is on
  std::array<Buffer, 2> buffers;
  Buffer* painted = nullptr;  // what PixelsToPaint gave last
};

// A data offer and what is known of it before it is taken.
struct Offer {
  wl_data_offer* proxy = nullptr;
  bool uriList = false;  // offered as text/uri-list
  bool accepted = false;
  std::uint32_t action = 0;  // the compositor's choice
};

class System final : public WindowSystem {
 public:
  ~System() override;

  bool MakeWindow(HWND window, const WindowRequest& asked) override;
  void DestroyWindow(HWND window) override;
  void ShowWindow(HWND window, bool show) override;
  void SetTitle(HWND window, const std::string& utf8) override;
  void SetIcon(HWND window, const IconImage& image) override;
  WindowPixels PixelsToPaint(HWND window) override;
  void Present(HWND window) override;
  bool Dispatch(int timeoutMs) override;
  std::int64_t NowMs() override;

  // connection.cpp
  // Binds the globals and learns the outputs' scales; false when the
  // compositor does not answer.
  bool Start(wl_display* connected);
  // Sends what is queued, waits up to timeoutMs for events and handles those
  // of the queue (null: the default one). False, the reason gone to
  // CannotShowWindow, when the connection has failed.
  bool Exchange(wl_event_queue* queue, int timeoutMs);
  // Reports the failed connection; false, for the caller to return.
  bool Lost();
  // Sends what is queued; false when the connection has failed.
  bool Flush();
  void OnGlobal(wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t version);
  void OnGlobalRemoved(std::uint32_t name);
  void OnOutputDone(Output& output);
  void OnSeatCapabilities(std::uint32_t capabilities);

  // window.cpp
  Window* Find(HWND handle);
  Window* FindSurface(wl_surface* surface);
  // The window's scale follows the outputs its surface is on.
  int ScaleOf(const Window& window) const;
  void Rescale(Window& window);
  // A configure of the window's role, of width x height logical pixels,
  // sized by the compositor or left to the window, while the user drags its
  // frame or not.
  void Configured(Window& window, int width, int height, bool sized, bool resizing);
  void AskForSize(Window& window);
  void StopAsking(Window& window);
  void ForgetOutput(wl_output* output);

  // frame.cpp
  void MakeFrame(Window& window);
  void DestroyFrame(Window& window);
  void SetFrameTitle(Window& window);
  void StopFrames();

  // buffers.cpp
  void ReleaseBuffers(Window& window);

  // cursor.cpp
  void OnPointerEnter(std::uint32_t serial, wl_surface* surface);
  void OnPointerLeave(wl_surface* surface);
  void SetCursor(Window& window);
  void DestroyCursor();

  // drops.cpp
  void StartDrops();
  void OnDataOffer(wl_data_offer* offer);
  void OnDragEnter(std::uint32_t serial, wl_surface* surface, wl_data_offer* offer);
  void OnDragLeave();
  void OnDrop();
  void OnSelection(wl_data_offer* offer);
  void DestroyOffer(Offer*& offer);
  void StopDrops();

  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  xdg_wm_base* shell = nullptr;
  zxdg_decoration_manager_v1* decorations = nullptr;
  wl_seat* seat = nullptr;
  std::uint32_t seatName = 0;
  wl_data_device_manager* dataDevices = nullptr;
  std::vector<std::unique_ptr<Output>> outputs;
  std::vector<std::unique_ptr<Window>> windows;
  bool failed = false;  // the connection has failed, and that was reported

  // The buffers' events come on a queue of their own, so that waiting for a
  // buffer runs no other handler.
  wl_event_queue* bufferQueue = nullptr;
  wl_shm* bufferShm = nullptr;  // wl_shm wrapped onto that queue

  libdecor* decor = nullptr;  // made for the first window the compositor draws no frame for

  wl_pointer* pointer = nullptr;
  std::uint32_t pointerSerial = 0;  // of the pointer's last entry
  wl_surface* pointerSurface = nullptr;
  wl_cursor_theme* cursorTheme = nullptr;
  int cursorScale = 0;  // the theme's
  wl_surface* cursorSurface = nullptr;
  int cursorHotspotX = 0, cursorHotspotY = 0;  // in the cursor surface's logical pixels

  wl_data_device* dataDevice = nullptr;
  Offer* newOffer = nullptr;   // introduced, not yet entered with or made the selection
  Offer* dragOffer = nullptr;  // of the drag over one of our surfaces
  Window* dragWindow = nullptr;
};

// The desktop entry's id: compositors find the window's name and icon by it.
inline constexpr const char* kAppId = "io.github.rastelle.Rastelle";

}  // namespace wayland
