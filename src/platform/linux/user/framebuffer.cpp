// Presentation: the client raster shown in the window, through the process's
// shared segment on an X server, otherwise copied into the pixel format of
// the SDL window surface (SDL's dummy driver, Wayland, a server without
// MIT-SHM or on another machine, a window larger than the segment).
#include "framebuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "window_record.h"
#include "x11_framebuffer.h"

namespace {

// Backs the window surface's pixels with memory in one call. After every
// resize the toolkit hands out a new, untouched surface, and faulting its
// pages in one at a time while copying costs about twice as long on virtual
// machines. Pages already there cost next to nothing; a kernel without the
// call leaves the copy to fault them in as before.
void PrepareSurface(const SDL_Surface& surface) {
#ifdef MADV_POPULATE_WRITE
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(surface.pixels);
  const auto last =
      first + static_cast<std::uintptr_t>(surface.pitch) * static_cast<std::uintptr_t>(surface.h);
  const std::uintptr_t begin = first & ~(page - 1);
  const std::uintptr_t end = (last + page - 1) & ~(page - 1);
  if (surface.pixels != nullptr && end > begin) {
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
  }
#else
  static_cast<void>(surface);
#endif
}

}  // namespace

void PresentClientArea(HWND window) {
  if (PresentThroughSegment(window)) return;
  SDL_Surface* surface = SDL_GetWindowSurface(window->sdl);
  if (surface == nullptr) return;
  PrepareSurface(*surface);
  const int width = std::min(surface->w, window->clientWidth);
  const int height = std::min(surface->h, window->clientHeight);
  if (width > 0 && height > 0) {
    SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB24, window->client, window->clientWidth * 3,
                      surface->format->format, surface->pixels, surface->pitch);
  }
  SDL_UpdateWindowSurface(window->sdl);
}

void StopPresenting(HWND window) { ForgetSegmentWindow(window); }
