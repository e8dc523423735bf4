// Presentation: the client raster shown in the window, through buffers in
// shared memory on Wayland, through the process's shared segment on an X
// server, otherwise copied into the pixel format of the SDL window surface
// (SDL's dummy driver, a server without MIT-SHM or on another machine, a
// window larger than the segment).
#include "framebuffer.h"

#include <SDL_syswm.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "video.h"
#include "wayland_framebuffer.h"
#include "window_record.h"
#include "x11_framebuffer.h"

namespace {

// The window's Wayland display and surface, or none on any other system.
struct WaylandWindow {
  wl_display* display = nullptr;
  wl_surface* surface = nullptr;
};

WaylandWindow WaylandWindowOf(HWND window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window->sdl, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_WAYLAND) return {};
  return {info.info.wl.display, info.info.wl.surface};
}

}  // namespace

void PresentClientArea(HWND window) {
  if (const WaylandWindow wayland = WaylandWindowOf(window); wayland.surface != nullptr) {
    if (!PresentThroughWaylandBuffer(window, wayland.display, wayland.surface)) {
      CannotShowWindow(WaylandFailure());
    }
    return;
  }
  if (PresentThroughSegment(window)) return;
  SDL_Surface* surface = SDL_GetWindowSurface(window->sdl);
  if (surface == nullptr) {
    const std::string error = SDL_GetError();
    CannotShowWindow("no window surface" + (error.empty() ? std::string() : ": " + error));
    return;
  }
  const int width = std::min(surface->w, window->clientWidth);
  const int height = std::min(surface->h, window->clientHeight);
  if (width > 0 && height > 0) {
    SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB24, window->client,
                      window->clientWidth * static_cast<int>(kBytesPerPixel), surface->format->format,
                      surface->pixels, surface->pitch);
  }
  SDL_UpdateWindowSurface(window->sdl);
}

void PresentFrameAgain(HWND window) {
  if (window->visible && WaylandWindowOf(window).surface != nullptr) PresentClientArea(window);
}

void CheckWindowSystem(HWND window) {
  if (const WaylandWindow wayland = WaylandWindowOf(window);
      wayland.display != nullptr && WaylandConnectionFailed(wayland.display)) {
    CannotShowWindow(WaylandFailure());
  }
}

void StopPresenting(HWND window) {
  ForgetSegmentWindow(window);
  ForgetWaylandWindow(window);
}
