// The window system the layer stands on, connected once; and what ends the
// viewer when there is none or its window cannot be shown.
#include "display.h"

#include "../gdi/client_area.h"
#include "paint_cycle.h"
#include "window_events.h"

namespace {

std::string& noDisplay = *new std::string;
std::string& cannotShow = *new std::string;

}  // namespace

WindowSystem* TheWindowSystem() {
  static WindowSystem* const system = [] {
    std::string why;
    WindowSystem* connected = ConnectWindowSystem(why);
    if (connected == nullptr) {
      noDisplay = why.empty() ? "no reason given" : why;
    } else {
      InstallClientAreaLookup(ClientAreaOf);
    }
    return connected;
  }();
  return system;
}

const std::string& NoDisplayReason() { return noDisplay; }

void CannotShowWindow(const std::string& reason) {
  if (!cannotShow.empty()) return;
  cannotShow = reason.empty() ? "no reason given" : reason;
  // The loop ends, and with it the process: nobody can see the window or
  // close it.
  PostQuitMessage(1);
}

const std::string& CannotShowReason() { return cannotShow; }

std::int64_t NowMs() {
  WindowSystem* system = TheWindowSystem();
  return system != nullptr ? system->NowMs() : 0;
}
