// The screen's density, from the desktop's settings on X11 and from the
// output's scale on Wayland.
#include "display_scale.h"

#include <SDL_syswm.h>
#include <X11/Xresource.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "window_record.h"

namespace {

// GDK_SCALE: a whole factor, as GTK reads it; anything else does not count.
int DpiFromGdkScale() {
  const char* value = std::getenv("GDK_SCALE");
  if (value == nullptr || value[0] < '1' || value[0] > '9' || value[1] != '\0') return 0;
  return (value[0] - '0') * kOrdinaryDpi;
}

// Xft.dpi from the resources the desktop put on the screen's root window
// (RESOURCE_MANAGER), as toolkits read it for their fonts.
int DpiFromXftResource(Display* display) {
  const char* resources = XResourceManagerString(display);
  if (resources == nullptr) return 0;
  XrmInitialize();
  XrmDatabase database = XrmGetStringDatabase(resources);
  if (database == nullptr) return 0;
  char* type = nullptr;
  XrmValue value{};
  int dpi = 0;
  if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) == True && value.addr != nullptr) {
    const double parsed = std::strtod(value.addr, nullptr);
    // A value out of all reason counts as none.
    if (parsed >= 48 && parsed <= 960) dpi = static_cast<int>(std::lround(parsed));
  }
  XrmDestroyDatabase(database);
  return dpi;
}

int X11Dpi(Display* display) {
  if (const int dpi = DpiFromGdkScale(); dpi != 0) return dpi;
  if (const int dpi = DpiFromXftResource(display); dpi != 0) return dpi;
  return kOrdinaryDpi;
}

int Scaled(int size, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(size) * dpi / kOrdinaryDpi));
}

}  // namespace

void ScaleNewWindow(HWND window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window->sdl, &info) != SDL_TRUE) return;
  if (info.subsystem == SDL_SYSWM_WAYLAND) {
    window->scaledByToolkit = true;
    return;
  }
  if (info.subsystem != SDL_SYSWM_X11) return;
  window->dpi = X11Dpi(info.info.x11.display);
  if (window->dpi == kOrdinaryDpi) return;
  int width = 0, height = 0;
  SDL_GetWindowSize(window->sdl, &width, &height);
  SDL_SetWindowSize(window->sdl, Scaled(width, window->dpi), Scaled(height, window->dpi));
}

int WindowDpi(HWND window) {
  if (!window->scaledByToolkit) return window->dpi;
  int points = 0, pixels = 0;
  SDL_GetWindowSize(window->sdl, &points, nullptr);
  SDL_GetWindowSizeInPixels(window->sdl, &pixels, nullptr);
  if (points <= 0 || pixels <= 0) return kOrdinaryDpi;
  return static_cast<int>(std::lround(static_cast<double>(pixels) * kOrdinaryDpi / points));
}
