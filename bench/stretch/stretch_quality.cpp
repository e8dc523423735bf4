// How well and how fast StretchBlt reduces pictures with fine detail, beside
// gdk-pixbuf's bilinear scaler on the same pictures in the same run. For each
// picture and window size: the PSNR of both against the exact area average,
// the median wall time of a paint-sized StretchBlt (for a picture of more than
// 4 Mpx a repaint, which copies the kept reduction), that of the first one at
// that size, and gdk_pixbuf_scale_simple's median.
//
// Usage: rastelle_stretch_quality [--sizes 4096,8192] [--pictures zone,grid,noise] [--runs 9]
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pictures.h"
#include "platform/win32.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A memory context holding a bitmap of its own.
struct Canvas {
  HDC dc;
  HBITMAP bitmap;
  Canvas(int width, int height)
      : dc(CreateCompatibleDC(nullptr)), bitmap(CreateCompatibleBitmap(nullptr, width, height)) {
    SelectObject(dc, bitmap);
    std::memset(bitmap->bits, 0xFF, bitmap->bytes);  // white, and its pages in place
  }
  ~Canvas() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  std::vector<std::uint32_t> Pixels() const {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < bitmap->height; ++y) {
      for (int x = 0; x < bitmap->width; ++x) pixels.push_back(GetPixel(dc, x, y));
    }
    return pixels;
  }
};

struct Window {
  const char* name;
  int width, height;
};

// The window's fit: aspect ratio kept, truncated as the viewer truncates.
void Fit(const Picture& picture, const Window& window, int& width, int& height) {
  const double zoom = std::min(static_cast<double>(window.width) / picture.width,
                               static_cast<double>(window.height) / picture.height);
  width = static_cast<int>(picture.width * zoom);
  height = static_cast<int>(picture.height * zoom);
}

struct Gdk {
  std::vector<guint8> rgb;
  GdkPixbuf* pixbuf;
  explicit Gdk(const Picture& picture) : rgb(picture.pixels.size() * 3) {
    for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
      for (int c = 0; c < 3; ++c)
        rgb[3 * i + static_cast<std::size_t>(c)] = picture.pixels[i] >> (8 * c) & 0xFF;
    }
    pixbuf = gdk_pixbuf_new_from_data(rgb.data(), GDK_COLORSPACE_RGB, FALSE, 8, picture.width, picture.height,
                                      picture.width * 3, nullptr, nullptr);
  }
  ~Gdk() { g_object_unref(pixbuf); }
  std::vector<std::uint32_t> Scale(int width, int height, int runs, double& milliseconds) const {
    std::vector<double> times;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * height);
    for (int run = 0; run < runs; ++run) {
      const auto start = Clock::now();
      GdkPixbuf* scaled = gdk_pixbuf_scale_simple(pixbuf, width, height, GDK_INTERP_BILINEAR);
      times.push_back(Milliseconds(start));
      const guint8* pixels = gdk_pixbuf_read_pixels(scaled);
      const int stride = gdk_pixbuf_get_rowstride(scaled), channels = gdk_pixbuf_get_n_channels(scaled);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const guint8* p =
              pixels + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * channels;
          out[static_cast<std::size_t>(y) * width + x] = p[0] | p[1] << 8 | p[2] << 16;
        }
      }
      g_object_unref(scaled);
    }
    milliseconds = Median(times);
    return out;
  }
};

void RunPicture(const Picture& picture, const std::vector<Window>& windows, int runs) {
  Canvas surface(picture.width, picture.height);
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x)
      SetPixel(surface.dc, x, y, picture.pixels[static_cast<std::size_t>(y) * picture.width + x]);
  }
  const Gdk gdk(picture);
  for (const Window& window : windows) {
    int width, height;
    Fit(picture, window, width, height);
    Canvas target(width, height);
    std::vector<double> times;
    double first = 0;
    for (int run = 0; run <= runs; ++run) {
      const auto start = Clock::now();
      StretchBlt(target.dc, 0, 0, width, height, surface.dc, 0, 0, picture.width, picture.height, SRCCOPY);
      (run == 0 ? first : times.emplace_back()) = Milliseconds(start);
    }
    const std::vector<std::uint32_t> ours = target.Pixels();
    const double paint = Median(times);
    double gdkTime;
    const std::vector<std::uint32_t> theirs = gdk.Scale(width, height, std::min(runs, 3), gdkTime);
    const std::vector<double> psnr = PsnrAgainstExact(picture, width, height, {&ours, &theirs});
    std::printf(
        "%-10s %5dx%-5d %-11s %5dx%-5d | %6.2f dB %7.2f ms %7.2f ms | %6.2f dB %8.2f ms | %-4s %5.1fx\n",
        picture.name.c_str(), picture.width, picture.height, window.name, width, height, psnr[0], paint,
        first, psnr[1], gdkTime, psnr[0] >= psnr[1] ? "yes" : "NO", gdkTime / paint);
    std::fflush(stdout);
  }
}

std::vector<std::string> Split(const char* list) {
  std::vector<std::string> items;
  std::string item;
  for (const char* p = list;; ++p) {
    if (*p == ',' || *p == '\0') {
      if (!item.empty()) items.push_back(item);
      item.clear();
      if (*p == '\0') return items;
    } else {
      item += *p;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> sizes = {"4096", "8192"}, pictures = {"zone", "grid", "noise"};
  int runs = 9;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--sizes") == 0) sizes = Split(argv[i + 1]);
    if (std::strcmp(argv[i], "--pictures") == 0) pictures = Split(argv[i + 1]);
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
  }
  double load = 0;
  getloadavg(&load, 1);
  std::printf("load average %.2f; times: wall-clock medians of %d runs (gdk-pixbuf: %d)\n", load, runs,
              std::min(runs, 3));
  std::printf("%-10s %-11s %-11s %-11s | %-9s %-10s %-10s | %-9s %-11s | %-4s %s\n", "picture", "source",
              "window", "shown", "ours", "paint", "first", "gdk-pixbuf", "time", ">=", "faster");
  for (const std::string& text : sizes) {
    const int size = std::atoi(text.c_str());
    if (size < 2) continue;
    const std::string almost = std::to_string(size - 1) + "x" + std::to_string(size - 1);
    const std::string most = std::to_string(size * 7 / 10) + "x" + std::to_string(size * 7 / 10);
    const std::vector<Window> windows = {{almost.c_str(), size - 1, size - 1},
                                         {most.c_str(), size * 7 / 10, size * 7 / 10},
                                         {"1920x1080", 1920, 1080},
                                         {"1920x1081", 1920, 1081},
                                         {"800x600", 800, 600},
                                         {"458x272", 458, 272},
                                         {"200x200", 200, 200}};
    for (const std::string& name : pictures) {
      const Picture picture = name == "zone"   ? ZonePlate(size)
                              : name == "grid" ? Grid(size)
                                               : NoisyGradients(size);
      RunPicture(picture, windows, runs);
    }
  }
}
