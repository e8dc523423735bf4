// How dense the screen is on X11: the dots per inch a window's device pixels
// stand for, as the desktop set them for its toolkits.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "x11_system.h"

namespace {

constexpr int kOrdinaryDpi = 96;

// GDK_SCALE: a whole factor, as GTK reads it; anything else does not count.
int DpiFromGdkScale() {
  const char* value = std::getenv("GDK_SCALE");
  if (value == nullptr || value[0] < '1' || value[0] > '9' || value[1] != '\0') return 0;
  return (value[0] - '0') * kOrdinaryDpi;
}

// Xft.dpi among the resources the desktop put on the root window, which Xlib
// fetched as it connected: lines of "name: value", the last of a name
// counting. Read here rather than through Xlib's resource manager, which
// loads the locale's tables for it (a millisecond before the first picture).
int DpiFromXftResource(std::string_view resources) {
  constexpr std::string_view kName = "Xft.dpi";
  constexpr std::string_view kBlanks = " \t";
  double dpi = 0;
  while (!resources.empty()) {
    const std::size_t end = resources.find('\n');
    std::string_view line = resources.substr(0, end);
    resources.remove_prefix(end == std::string_view::npos ? resources.size() : end + 1);
    line.remove_prefix(std::min(line.size(), line.find_first_not_of(kBlanks)));
    if (!line.starts_with(kName)) continue;
    line.remove_prefix(kName.size());
    line.remove_prefix(std::min(line.size(), line.find_first_not_of(kBlanks)));
    if (!line.starts_with(':')) continue;
    line.remove_prefix(1);
    line.remove_prefix(std::min(line.size(), line.find_first_not_of(kBlanks)));
    double value = 0;
    dpi = std::from_chars(line.data(), line.data() + line.size(), value).ec == std::errc() ? value : 0;
  }
  // A value out of all reason counts as none.
  return dpi >= 48 && dpi <= 960 ? static_cast<int>(std::lround(dpi)) : 0;
}

}  // namespace

int ScreenDpi(Display* display) {
  if (const int dpi = DpiFromGdkScale(); dpi != 0) return dpi;
  const char* resources = XResourceManagerString(display);
  if (const int dpi = DpiFromXftResource(resources != nullptr ? resources : ""); dpi != 0) return dpi;
  return kOrdinaryDpi;
}
