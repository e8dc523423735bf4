// SDL's video, started on first use: the hints the layer relies on, and no
// window without a display to show it on.
#include "video.h"

#include <SDL.h>

#include <cstring>

#include "client_area.h"
#include "paint_cycle.h"

bool StartVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
  // Signals end the process as they would any other; they are no messages.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // The client area is our own raster, copied to the window surface as it is;
  // an accelerated window surface would run a software renderer behind it,
  // which costs memory and time on every present and gains nothing here.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  // SDL falls back to drawing off screen when there is no display; a window
  // nobody can see or close would keep the process waiting for ever.
  if (std::strcmp(SDL_GetCurrentVideoDriver(), "offscreen") == 0) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  InstallClientAreaLookup(ClientAreaOf);
  return true;
}
