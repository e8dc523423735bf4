// Which display the program shows its windows on: Wayland where the session
// names a compositor, X11 where it names a server (XWayland among them, when
// the compositor itself does not answer).
#include <cstdlib>

#include "window_system.h"

namespace {

bool Named(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

WindowSystem* ConnectWindowSystem(std::string& why) {
  std::string wayland, x11;
  if (Named("WAYLAND_DISPLAY")) {
    if (WindowSystem* system = ConnectWayland(wayland)) return system;
  }
  if (WindowSystem* system = ConnectX11(x11)) return system;
  // What the environment names is what the user can mend.
  if (Named("DISPLAY")) why = x11;
  if (!wayland.empty()) why += (why.empty() ? "" : ", ") + wayland;
  if (why.empty()) why = x11;
  return nullptr;
}
