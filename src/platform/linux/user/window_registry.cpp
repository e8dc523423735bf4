// The registry of the windows the layer has made.
#include <algorithm>

#include "window_record.h"

namespace {

std::vector<HWND>& windows = *new std::vector<HWND>;

}  // namespace

void RegisterWindow(HWND window) { windows.push_back(window); }

const std::vector<HWND>& RegisteredWindows() { return windows; }

bool IsLive(HWND window) {
  return window != nullptr && !window->destroyed &&
         std::find(windows.begin(), windows.end(), window) != windows.end();
}
