// SDL's video, started on first use: the hints the layer relies on, and no
// window without a display to show it on.
#include "video.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "../gdi/client_area.h"
#include "paint_cycle.h"

namespace {

std::string& noDisplay = *new std::string;
std::string& cannotShow = *new std::string;

// The desktop entry's id, which Wayland compositors take the window's app id
// for, to find the entry's name and icon. On X11 the class stays as it was.
constexpr const char* kDesktopId = "io.github.rastelle.Rastelle";

// SDL says nothing when it falls back to drawing off screen; what the
// environment names is what the user can mend.
std::string WhyNoDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  std::string reason;
  if (x11 != nullptr && x11[0] != '\0') reason = std::string("DISPLAY=") + x11 + " does not answer";
  if (wayland != nullptr && wayland[0] != '\0') {
    reason += reason.empty() ? "" : ", ";
    reason += std::string("WAYLAND_DISPLAY=") + wayland + " does not answer";
  }
  return reason.empty() ? "DISPLAY is not set" : reason;
}

}  // namespace

bool StartVideo() {
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
  // Signals end the process as they would any other; they are no messages.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // The client area is our own raster, copied to the window surface as it is;
  // an accelerated window surface would run a software renderer behind it,
  // which costs memory and time on every present and gains nothing here.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // SDL reads the app id from the environment when its video starts; one the
  // user set stays.
  setenv("SDL_VIDEO_WAYLAND_WMCLASS", kDesktopId, 0);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    noDisplay = SDL_GetError();
    if (noDisplay.empty()) noDisplay = WhyNoDisplay();
    return false;
  }
  // SDL falls back to drawing off screen when there is no display; a window
  // nobody can see or close would keep the process waiting for ever.
  if (std::strcmp(SDL_GetCurrentVideoDriver(), "offscreen") == 0) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    noDisplay = WhyNoDisplay();
    return false;
  }
  noDisplay.clear();
  InstallClientAreaLookup(ClientAreaOf);
  return true;
}

const std::string& NoDisplayReason() { return noDisplay; }

void CannotShowWindow(const std::string& reason) {
  if (!cannotShow.empty()) return;
  cannotShow = reason.empty() ? "no reason given" : reason;
  PostQuitMessage(1);
}

const std::string& CannotShowReason() { return cannotShow; }
