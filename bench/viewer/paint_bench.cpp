// How long the window's paint takes: the white, framed background and the
// stretched surface, for a large surface fitted into a full-HD client area
// and a few other sizes. Prints the median and the slowest of the runs.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include "platform/win32.h"

namespace {

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
  HDC client = CreateCompatibleDC(screen);
  HBITMAP clientBitmap = CreateCompatibleBitmap(screen, c.clientWidth, c.clientHeight);
  SelectObject(client, clientBitmap);
  // Every pixel different, so nothing is cheaper than a real image.
  for (int yy = 0; yy < c.surfaceHeight; ++yy) {
    for (int xx = 0; xx < c.surfaceWidth; ++xx) {
      SetPixel(surface, xx, yy, static_cast<COLORREF>((xx * 7 + yy * 13) * 2654435761u) & 0x00FFFFFF);
    }
  }
  int x, y, dw, dh;
  Fit(c, x, y, dw, dh);
  std::vector<double> milliseconds, cpuMilliseconds;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = ThreadCpuMilliseconds();
    HBRUSH white = CreateSolidBrush(0x00FFFFFF);
    HGDIOBJ previous = SelectObject(client, white);
    Rectangle(client, 0, 0, c.clientWidth, c.clientHeight);
    SelectObject(client, previous);
    DeleteObject(white);
    StretchBlt(client, x, y, dw, dh, surface, 0, 0, c.surfaceWidth, c.surfaceHeight, SRCCOPY);
    cpuMilliseconds.push_back(ThreadCpuMilliseconds() - cpuStart);
    const auto end = std::chrono::steady_clock::now();
    milliseconds.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::sort(milliseconds.begin(), milliseconds.end());
  std::sort(cpuMilliseconds.begin(), cpuMilliseconds.end());
  std::printf(
      "%5d x %-5d into %4d x %-4d (%4d x %-4d shown): wall median %6.2f ms, fastest %6.2f ms; "
      "CPU median %6.2f ms (%d paints)\n",
      c.surfaceWidth, c.surfaceHeight, c.clientWidth, c.clientHeight, dw, dh,
      milliseconds[milliseconds.size() / 2], milliseconds.front(),
      cpuMilliseconds[cpuMilliseconds.size() / 2], runs);
  DeleteDC(surface);
  DeleteObject(surfaceBitmap);
  DeleteDC(client);
  DeleteObject(clientBitmap);
  ReleaseDC(nullptr, screen);
}

}  // namespace

int main() {
  const Case cases[] = {
      {8192, 8192, 1920, 1080},  // the large surface: reduced 7.6 times
      {8192, 4608, 1920, 1080},  // wide: reduced 4.3 times
      {3840, 2160, 1920, 1080},  // reduced by half: every source pixel averaged
      {640, 480, 1920, 1080},    // enlarged
  };
  for (const Case& c : cases) Run(c, 41);
}
