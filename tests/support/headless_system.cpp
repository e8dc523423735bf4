// A window system without a display, for the tests: a window is a record with
// its pixels in memory; what a desktop would do to it (window_driver.h) waits
// until the layer next asks for events; and its clock moves only when a test
// moves it, so that what depends on time happens in the same order on any
// machine.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <deque>
#include <memory>
#include <utility>

#include "platform/linux/user/window_events.h"
#include "window_driver.h"

namespace {

struct HeadlessWindow {
  HWND handle;
  WindowRequest asked;
  int width = 0, height = 0, dpi = 96;
  std::vector<std::uint8_t> pixels;
  std::string title;
  IconImage icon{0, 0, {}};
  int presents = 0;
};

class HeadlessSystem final : public WindowSystem {
 public:
  bool MakeWindow(HWND window, const WindowRequest& asked) override {
    auto made = std::make_unique<HeadlessWindow>();
    made->handle = window;
    made->asked = asked;
    made->dpi = dpi;
    made->width = static_cast<int>(std::lround(asked.width * dpi / 96.0));
    made->height = static_cast<int>(std::lround(asked.height * dpi / 96.0));
    made->title = asked.title;
    windows.push_back(std::move(made));
    ClientAreaChanged(window, windows.back()->width, windows.back()->height, dpi, false);
    return true;
  }
  void DestroyWindow(HWND window) override {
    std::erase_if(windows, [window](const auto& kept) { return kept->handle == window; });
  }
  void ShowWindow(HWND window, bool show) override {
    if (!show || Find(window) == nullptr) return;
    WindowCanPaint(window);
    if (shown) std::exchange(shown, nullptr)(window);
  }
  void SetTitle(HWND window, const std::string& utf8) override {
    if (HeadlessWindow* found = Find(window)) found->title = utf8;
  }
  void SetIcon(HWND window, const IconImage& image) override {
    if (HeadlessWindow* found = Find(window)) found->icon = image;
  }
  WindowPixels PixelsToPaint(HWND window) override {
    HeadlessWindow* found = Find(window);
    if (found == nullptr) return {};
    found->pixels.resize(static_cast<std::size_t>(found->width) * static_cast<std::size_t>(found->height) *
                         4);
    return {found->pixels.data(), found->width, found->height, static_cast<std::size_t>(found->width) * 4};
  }
  void Present(HWND window) override {
    if (HeadlessWindow* found = Find(window)) ++found->presents;
  }
  // What the desktop did since, in order. Waiting for nothing lets the time
  // waited for pass; waiting for ever for nothing is an error a test sees
  // (GetMessageA fails) rather than a hang.
  bool Dispatch(int timeoutMs) override {
    if (pending.empty()) {
      if (timeoutMs > 0) now += timeoutMs;
      return timeoutMs >= 0;
    }
    while (!pending.empty()) {
      const std::function<void()> next = std::move(pending.front());
      pending.pop_front();
      next();
    }
    return true;
  }
  std::int64_t NowMs() override { return now; }

  HeadlessWindow* Find(HWND window) {
    for (const auto& kept : windows) {
      if (kept->handle == window) return kept.get();
    }
    return nullptr;
  }

  std::vector<std::unique_ptr<HeadlessWindow>> windows;
  std::deque<std::function<void()>> pending;
  std::function<void(HWND)> shown;
  int dpi = 96;
  std::int64_t now = 0;
};

HeadlessSystem& headless = *new HeadlessSystem;

// A path as the URI a file manager sends: bytes other than letters, digits
// and a few marks percent-encoded.
std::string FileUri(const std::string& path) {
  std::string uri = "file://";
  for (unsigned char byte : path) {
    if (std::isalnum(byte) != 0 ||
        std::string_view("/-._~").find(static_cast<char>(byte)) != std::string_view::npos) {
      uri += static_cast<char>(byte);
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0xF];
    }
  }
  return uri;
}

}  // namespace

WindowSystem* ConnectWindowSystem(std::string&) { return &headless; }

void DropFiles(HWND window, const std::vector<std::string>& paths) {
  std::string list;
  for (const std::string& path : paths) list += FileUri(path) + "\r\n";
  DropUriList(window, list);
}

void DropUriList(HWND window, const std::string& uriList) {
  headless.pending.push_back([window, uriList] { UrisDropped(window, uriList); });
}

void ResizeClient(HWND window, int width, int height) {
  headless.pending.push_back([window, width, height] {
    if (HeadlessWindow* found = headless.Find(window)) {
      found->width = width;
      found->height = height;
      // As a user drags the frame of a window that shows a picture.
      ClientAreaChanged(window, width, height, found->dpi, found->presents > 0);
    }
  });
}

void PressCloseBox(HWND window) {
  headless.pending.push_back([window] { CloseRequested(window); });
}

void WhenShown(std::function<void(HWND)> action) { headless.shown = std::move(action); }

void SetScreenDpi(int dpi) { headless.dpi = dpi; }

std::string SystemTitle(HWND window) {
  HeadlessWindow* found = headless.Find(window);
  return found != nullptr ? found->title : std::string();
}

const IconImage* SystemIcon(HWND window) {
  HeadlessWindow* found = headless.Find(window);
  return found != nullptr && found->icon.width > 0 ? &found->icon : nullptr;
}

WindowRequest AskedWindow(HWND window) {
  HeadlessWindow* found = headless.Find(window);
  return found != nullptr ? found->asked : WindowRequest{};
}

int PresentCount(HWND window) {
  HeadlessWindow* found = headless.Find(window);
  return found != nullptr ? found->presents : 0;
}

void AdvanceClock(int milliseconds) { headless.now += milliseconds; }
