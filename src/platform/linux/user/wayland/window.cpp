// A window: its surface and the outputs that set its scale, its role as an
// xdg toplevel, and the configures that size it.
#include <algorithm>
#include <cstring>

#include "../layer_messages.h"
#include "../window_events.h"
#include "wayland_system.h"
#include "xdg-decoration-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace wayland {
namespace {

constexpr int kOrdinaryDpi = 96;

// A message longer than libwayland's 4096 bytes ends the connection; a title
// is cut well before, at the start of a UTF-8 character.
constexpr std::size_t kLongestTitle = 2048;

std::string Shortened(const std::string& utf8) {
  if (utf8.size() <= kLongestTitle) return utf8;
  std::size_t end = kLongestTitle;
  while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
  return utf8.substr(0, end);
}

Window& Of(void* data) { return *static_cast<Window*>(data); }

void OnEnter(void* data, wl_surface*, wl_output* output) {
  Window& window = Of(data);
  // Each wl_output the process bound is entered, libdecor's among them.
  const auto& known = window.system->outputs;
  const bool ours = std::any_of(known.begin(), known.end(), [output](const std::unique_ptr<Output>& each) {
    return each->proxy == output;
  });
  if (!ours || std::find(window.outputs.begin(), window.outputs.end(), output) != window.outputs.end())
    return;
  window.outputs.push_back(output);
  window.system->Rescale(window);
}
void OnLeave(void* data, wl_surface*, wl_output* output) {
  Window& window = Of(data);
  std::erase(window.outputs, output);
  window.system->Rescale(window);
}
const wl_surface_listener kSurfaceListener = {OnEnter, OnLeave};

// The compositor has answered the window's first buffer without a size of its
// own: the window paints at its own.
void OnAnswer(void* data, wl_callback*, std::uint32_t) {
  Window& window = Of(data);
  window.system->StopAsking(window);
  WindowCanPaint(window.handle);
}
const wl_callback_listener kAnswerListener = {OnAnswer};

void OnSurfaceConfigure(void* data, xdg_surface* surface, std::uint32_t serial) {
  Window& window = Of(data);
  xdg_surface_ack_configure(surface, serial);
  // 0 leaves the size to us: the one we have stays.
  const bool sized = window.pendingWidth > 0 && window.pendingHeight > 0;
  window.system->Configured(window, sized ? window.pendingWidth : window.width,
                            sized ? window.pendingHeight : window.height, sized, window.pendingResizing);
}
const xdg_surface_listener kShellSurfaceListener = {OnSurfaceConfigure};

void OnToplevelConfigure(void* data, xdg_toplevel*, std::int32_t width, std::int32_t height,
                         wl_array* states) {
  Window& window = Of(data);
  window.pendingWidth = width;
  window.pendingHeight = height;
  // The compositor says when the user drags the frame; a size it gives the
  // window otherwise (a tiling layout's, after the first frame) is painted
  // exactly at once.
  window.pendingResizing = false;
  const auto* state = static_cast<const std::uint32_t*>(states->data);
  for (std::size_t i = 0; i < states->size / sizeof *state; ++i)
    window.pendingResizing = window.pendingResizing || state[i] == XDG_TOPLEVEL_STATE_RESIZING;
}
void OnClose(void* data, xdg_toplevel*) { CloseRequested(Of(data).handle); }
// The events of xdg_toplevel version 2; those of later versions never come.
const xdg_toplevel_listener kToplevelListener = {OnToplevelConfigure, OnClose, nullptr, nullptr};

bool Decorated(DWORD style) { return (style & WS_CAPTION) == WS_CAPTION || (style & WS_THICKFRAME) != 0; }
bool Resizable(DWORD style) { return (style & WS_THICKFRAME) != 0; }

// The toplevel of our own, with the frame the compositor draws.
void MakeToplevel(System& system, Window& window) {
  window.shellSurface = xdg_wm_base_get_xdg_surface(system.shell, window.surface);
  xdg_surface_add_listener(window.shellSurface, &kShellSurfaceListener, &window);
  window.toplevel = xdg_surface_get_toplevel(window.shellSurface);
  xdg_toplevel_add_listener(window.toplevel, &kToplevelListener, &window);
  xdg_toplevel_set_title(window.toplevel, window.title.c_str());
  xdg_toplevel_set_app_id(window.toplevel, kAppId);
  if (!Resizable(window.style)) {
    xdg_toplevel_set_min_size(window.toplevel, window.width, window.height);
    xdg_toplevel_set_max_size(window.toplevel, window.width, window.height);
  }
  if (system.decorations != nullptr) {
    window.decoration =
        zxdg_decoration_manager_v1_get_toplevel_decoration(system.decorations, window.toplevel);
    zxdg_toplevel_decoration_v1_set_mode(
        window.decoration, Decorated(window.style) ? ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE
                                                   : ZXDG_TOPLEVEL_DECORATION_V1_MODE_CLIENT_SIDE);
  }
  // Without a buffer: the compositor answers with the first configure.
  wl_surface_commit(window.surface);
}

void DestroyToplevel(Window& window) {
  // The decoration before its toplevel, which it would outlive otherwise.
  if (window.decoration != nullptr) zxdg_toplevel_decoration_v1_destroy(window.decoration);
  if (window.toplevel != nullptr) xdg_toplevel_destroy(window.toplevel);
  if (window.shellSurface != nullptr) xdg_surface_destroy(window.shellSurface);
  window.decoration = nullptr;
  window.toplevel = nullptr;
  window.shellSurface = nullptr;
}

void ReportSize(const Window& window, bool resizing) {
  ClientAreaChanged(window.handle, window.width * window.scale, window.height * window.scale,
                    kOrdinaryDpi * window.scale, resizing);
}

}  // namespace

Window* System::Find(HWND handle) {
  for (const std::unique_ptr<Window>& window : windows) {
    if (window->handle == handle) return window.get();
  }
  return nullptr;
}

Window* System::FindSurface(wl_surface* surface) {
  if (surface == nullptr) return nullptr;
  for (const std::unique_ptr<Window>& window : windows) {
    if (window->surface == surface) return window.get();
  }
  return nullptr;
}

bool System::MakeWindow(HWND handle, const WindowRequest& asked) {
  const char* missing = compositor == nullptr ? "the compositor offers no surfaces (wl_compositor)"
                        : shm == nullptr      ? "the compositor offers no shared memory buffers (wl_shm)"
                        : shell == nullptr    ? "the compositor offers no desktop windows (xdg_wm_base)"
                                              : nullptr;
  if (missing != nullptr) {
    CannotShowWindow(missing);
    return false;
  }
  auto window = std::make_unique<Window>();
  window->system = this;
  window->handle = handle;
  window->title = Shortened(asked.title);
  window->style = asked.style;
  window->acceptsFiles = asked.acceptsFiles;
  // Where the window goes is the compositor's choice: the place asked for
  // has no request to go to.
  window->width = std::max(1, asked.width);
  window->height = std::max(1, asked.height);
  window->surface = wl_compositor_create_surface(compositor);
  if (window->surface == nullptr) {
    CannotShowWindow("cannot make a surface");
    return false;
  }
  wl_surface_add_listener(window->surface, &kSurfaceListener, window.get());
  windows.push_back(std::move(window));
  Window& made = *windows.back();
  made.scale = ScaleOf(made);
  ReportSize(made, false);
  return true;
}

void System::DestroyWindow(HWND handle) {
  Window* window = Find(handle);
  if (window == nullptr) return;
  if (pointerSurface == window->surface) pointerSurface = nullptr;
  if (dragWindow == window) dragWindow = nullptr;
  StopAsking(*window);
  DestroyToplevel(*window);
  DestroyFrame(*window);
  ReleaseBuffers(*window);
  wl_surface_destroy(window->surface);
  std::erase_if(windows, [window](const std::unique_ptr<Window>& kept) { return kept.get() == window; });
}

void System::ShowWindow(HWND handle, bool show) {
  Window* window = Find(handle);
  if (window == nullptr || window->shown == show || failed) return;
  window->shown = show;
  if (show) {
    // Where the compositor draws no frame, libdecor draws one; its context,
    // which loads a plugin that draws with cairo, only then.
    if (decorations == nullptr && Decorated(window->style)) {
      MakeFrame(*window);
    } else {
      MakeToplevel(*this, *window);
    }
  } else {
    StopAsking(*window);
    DestroyToplevel(*window);
    DestroyFrame(*window);
    // The surface keeps no buffer, so that it can be given a role again.
    wl_surface_attach(window->surface, nullptr, 0, 0);
    wl_surface_commit(window->surface);
    window->configured = false;
    window->presented = false;
    window->painted = nullptr;
  }
  Flush();
}

void System::SetTitle(HWND handle, const std::string& utf8) {
  Window* window = Find(handle);
  if (window == nullptr) return;
  window->title = Shortened(utf8);
  if (window->toplevel != nullptr) xdg_toplevel_set_title(window->toplevel, window->title.c_str());
  if (window->frame != nullptr) SetFrameTitle(*window);
}

// xdg-shell has no request for a window's icon: the compositor shows the
// desktop entry's, which it finds by the app id.
void System::SetIcon(HWND, const IconImage&) {}

int System::ScaleOf(const Window& window) const {
  // Before the surface is on any output, the densest output is the likeliest
  // to show it; a window shown at a scale too small would be enlarged blurred.
  int scale = 1;
  for (const std::unique_ptr<Output>& output : outputs) {
    if (window.outputs.empty() ||
        std::find(window.outputs.begin(), window.outputs.end(), output->proxy) != window.outputs.end())
      scale = std::max(scale, output->scale);
  }
  return scale;
}

void System::Rescale(Window& window) {
  const int scale = ScaleOf(window);
  if (scale == window.scale) return;
  window.scale = scale;
  ReportSize(window, false);
  if (pointerSurface == window.surface) SetCursor(window);
}

void System::Configured(Window& window, int width, int height, bool sized, bool resizing) {
  const bool first = !window.configured;
  const bool resized = width != window.width || height != window.height;
  window.configured = true;
  window.width = width;
  window.height = height;
  if (resized) ReportSize(window, resizing);
  if (first && !sized) {
    AskForSize(window);
  } else if (first || (window.asking && resized)) {
    StopAsking(window);
    WindowCanPaint(window.handle);
  } else if (!resized && window.presented) {
    // The acknowledgement reaches the compositor with the next commit, which
    // it may wait for before it shows the window; the picture stays right.
    wl_surface_commit(window.surface);
  }
}

// A first configure without a size leaves it to the window, yet a compositor
// may give it one once it has a first buffer (a tiling one lays it out then).
// A blank white one is committed, and the window is painted once the
// compositor has answered it: at the size it gave, or at the window's own.
// So a large picture is reduced once, at the size it is shown at.
void System::AskForSize(Window& window) {
  const WindowPixels blank = PixelsToPaint(window.handle);
  if (blank.bits == nullptr) return;  // the reason went to CannotShowWindow
  std::memset(blank.bits, 0xFF, blank.stride * static_cast<std::size_t>(blank.height));
  Present(window.handle);
  window.asking = wl_display_sync(display);
  wl_callback_add_listener(window.asking, &kAnswerListener, &window);
  Flush();
}

void System::StopAsking(Window& window) {
  if (window.asking != nullptr) wl_callback_destroy(window.asking);
  window.asking = nullptr;
}

void System::ForgetOutput(wl_output* output) {
  for (const std::unique_ptr<Window>& window : windows) {
    std::erase(window->outputs, output);
    Rescale(*window);
  }
}

}  // namespace wayland
