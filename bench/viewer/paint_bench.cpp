// How long the window's paint takes: the white, framed background and the
// stretched surface, for a large surface fitted into a full-HD client area
// and a few other sizes: the first paint at a size, a repaint at the same
// size, and a paint while the window is being resized. The paint draws on a
// window's pixels as a display reads them (4 bytes a pixel), here memory of
// the benchmark's own. Prints the median and the fastest of the runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include "platform/linux/gdi/client_area.h"
#include "platform/win32.h"

namespace {

// The client area the paint draws on, as a window system would hand it out.
std::vector<std::uint8_t> clientPixels;
ClientArea clientArea;
ClientArea ClientOf(HWND) { return clientArea; }

struct Case {
  int surfaceWidth, surfaceHeight, clientWidth, clientHeight;
};

// This thread's processor time: what a paint costs when other processes
// share the machine and preempt it.
double ThreadCpuMilliseconds() {
  timespec now;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The fit the window uses: aspect ratio kept, centred.
void Fit(const Case& c, int& x, int& y, int& dw, int& dh) {
  const double zoom = std::min(static_cast<double>(c.clientWidth) / c.surfaceWidth,
                               static_cast<double>(c.clientHeight) / c.surfaceHeight);
  dw = static_cast<int>(c.surfaceWidth * zoom);
  dh = static_cast<int>(c.surfaceHeight * zoom);
  x = (c.clientWidth - dw) / 2;
  y = (c.clientHeight - dh) / 2;
}

void Run(const Case& c, int runs) {
  HDC screen = GetDC(nullptr);
  HDC surface = CreateCompatibleDC(screen);
  HBITMAP surfaceBitmap = CreateCompatibleBitmap(screen, c.surfaceWidth, c.surfaceHeight);
  SelectObject(surface, surfaceBitmap);
  clientPixels.assign(static_cast<std::size_t>(c.clientWidth) * static_cast<std::size_t>(c.clientHeight) * 4,
                      0);
  clientArea =
      ClientArea{clientPixels.data(), static_cast<std::size_t>(c.clientWidth),
                 static_cast<std::size_t>(c.clientHeight), static_cast<std::size_t>(c.clientWidth) * 4};
  InstallClientAreaLookup(ClientOf);
  HWND window = reinterpret_cast<HWND>(&clientArea);  // any window will do
  HDC client = GetDC(window);
  // Every pixel different, so nothing is cheaper than a real image.
  for (int yy = 0; yy < c.surfaceHeight; ++yy) {
    for (int xx = 0; xx < c.surfaceWidth; ++xx) {
      SetPixel(surface, xx, yy, static_cast<COLORREF>((xx * 7 + yy * 13) * 2654435761u) & 0x00FFFFFF);
    }
  }
  int x, y, dw, dh;
  Fit(c, x, y, dw, dh);
  // A paint: the framed white background, then the stretch. The first paint
  // at a size reduces exactly; a repaint at the same size copies what the
  // first kept; while the window is being resized, a paint at a new size onto
  // its context samples a large surface instead. The first and the resizing
  // paints are timed over fresh sizes, the repaint repeated.
  const auto paint = [&](int shownWidth) {
    HBRUSH white = CreateSolidBrush(0x00FFFFFF);
    HGDIOBJ previous = SelectObject(client, white);
    Rectangle(client, 0, 0, c.clientWidth, c.clientHeight);
    SelectObject(client, previous);
    DeleteObject(white);
    StretchBlt(client, x, y, shownWidth, dh, surface, 0, 0, c.surfaceWidth, c.surfaceHeight, SRCCOPY);
  };
  const char* kinds[] = {"first at a size", "again at that size", "while resizing"};
  for (int kind = 0; kind < 3; ++kind) {
    client->quick = kind == 2;
    std::vector<double> milliseconds, cpuMilliseconds;
    const int count = kind == 0 ? std::min(runs, 9) : runs;
    for (int i = 0; i < count; ++i) {
      // A new size for every first and every resizing paint.
      const int shownWidth = kind == 0 ? dw - i : kind == 2 ? dw - 10 - i % 40 : dw;
      const auto start = std::chrono::steady_clock::now();
      const double cpuStart = ThreadCpuMilliseconds();
      paint(shownWidth);
      cpuMilliseconds.push_back(ThreadCpuMilliseconds() - cpuStart);
      const auto end = std::chrono::steady_clock::now();
      milliseconds.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    std::sort(cpuMilliseconds.begin(), cpuMilliseconds.end());
    std::printf(
        "%5d x %-5d into %4d x %-4d (%4d x %-4d shown), %-18s: wall median %6.2f ms, fastest %6.2f ms; "
        "this thread's CPU median %6.2f ms (%d paints)\n",
        c.surfaceWidth, c.surfaceHeight, c.clientWidth, c.clientHeight, dw, dh, kinds[kind],
        milliseconds[milliseconds.size() / 2], milliseconds.front(),
        cpuMilliseconds[cpuMilliseconds.size() / 2], count);
  }
  DeleteDC(surface);
  DeleteObject(surfaceBitmap);
  ReleaseDC(window, client);
  ReleaseDC(nullptr, screen);
}

}  // namespace

int main() {
  const Case cases[] = {
      {8192, 8192, 1920, 1080},  // the large surface: reduced 7.6 times
      {8192, 4608, 1920, 1080},  // wide: reduced 4.3 times
      {3840, 2160, 1920, 1080},  // reduced by half: every source pixel averaged
      {1920, 1080, 1200, 900},   // the everyday picture in the window: reduced 1.6 times
      {640, 480, 1920, 1080},    // enlarged
  };
  for (const Case& c : cases) Run(c, 41);
}
