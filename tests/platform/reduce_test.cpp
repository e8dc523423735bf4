// Reducing stretches: each destination pixel the mean of the source area it
// covers, exactly, also from large sources, whose result is kept; and while a
// window is being resized, large sources sampled, the context marked so that
// the window paints them exactly once it is still.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/win32.h"

namespace {

using Picture = std::function<COLORREF(int x, int y)>;

// A memory context with a bitmap of its own, drawn pixel by pixel.
struct Raster {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap;
  int width, height;
  Raster(int w, int h, const Picture& picture)
      : bitmap(CreateCompatibleBitmap(nullptr, w, h)), width(w), height(h) {
    SelectObject(dc, bitmap);
    Draw(picture);
  }
  ~Raster() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  void Draw(const Picture& picture) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) SetPixel(dc, x, y, picture(x, y));
    }
  }
  int Red(int x, int y) const { return static_cast<int>(GetPixel(dc, x, y) & 0xFF); }
};

// A raster whose context is a window's while it is being resized.
struct QuickRaster : Raster {
  QuickRaster(int w, int h, const Picture& picture) : Raster(w, h, picture) { dc->quick = true; }
};

COLORREF Grey(int value) { return RGB(value, value, value); }

// The red of the exact area average of picture's [left, left + sw) x [top,
// top + sh) onto w x h pixels, at destination pixel (i, j); pixels outside the
// w0 x h0 source do not count. Double precision, one pixel at a time.
double ExactRed(const Picture& picture, int w0, int h0, int left, int top, int sw, int sh, int w, int h,
                int i, int j) {
  const double x0 = left + static_cast<double>(i) * sw / w, x1 = left + static_cast<double>(i + 1) * sw / w;
  const double y0 = top + static_cast<double>(j) * sh / h, y1 = top + static_cast<double>(j + 1) * sh / h;
  double sum = 0, area = 0;
  for (int y = std::max(0, static_cast<int>(std::floor(y0))); y < std::min<double>(h0, y1); ++y) {
    for (int x = std::max(0, static_cast<int>(std::floor(x0))); x < std::min<double>(w0, x1); ++x) {
      const double part = (std::min<double>(x1, x + 1) - std::max<double>(x0, x)) *
                          (std::min<double>(y1, y + 1) - std::max<double>(y0, y));
      sum += part * static_cast<double>(picture(x, y) & 0xFF);
      area += part;
    }
  }
  return sum / area;
}

COLORREF Noise(int x, int y) { return Grey(static_cast<int>((x * 7919u + y * 104729u) * 2654435761u >> 24)); }

// Lines every seventh column and row: what a sampler turns into moire.
COLORREF Grid(int x, int y) { return x % 7 == 0 || y % 7 == 0 ? Grey(0) : Grey(255); }

// Sources of up to 4 Mpx are read whole: each destination pixel within a
// step of the exact mean. Few and many source pixels
// per destination pixel take different paths; so do a column or row longer
// than one pass sums.
TEST(Reduce, SmallSourcesGiveTheExactAreaAverage) {
  struct Case {
    const char* name;
    COLORREF (*picture)(int, int);
    int rasterWidth, rasterHeight, left, top, sourceWidth, sourceHeight, width, height;
  };
  const Case cases[] = {
      {"noise by 2.7 across, 3.9 down", Noise, 100, 90, 0, 0, 100, 90, 37, 23},
      {"noise just under full size", Noise, 100, 90, 0, 0, 100, 90, 99, 89},
      {"noise reduced across, enlarged down", Noise, 100, 90, 0, 0, 100, 90, 30, 120},
      {"noise, source rectangle partly outside", Noise, 100, 90, -7, -5, 112, 101, 41, 29},
      {"one-pixel grid by 2.39", Grid, 700, 500, 0, 0, 700, 500, 293, 209},
      {"one-pixel grid by 6.8", Grid, 700, 500, 0, 0, 700, 500, 103, 73},
      {"a long column into one pixel", Noise, 1, 5000, 0, 0, 1, 5000, 1, 1},
      {"a long row into three pixels", Noise, 10000, 1, 0, 0, 10000, 1, 3, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Raster source(c.rasterWidth, c.rasterHeight, c.picture);
    Raster target(c.width, c.height, [](int, int) { return Grey(7); });
    StretchBlt(target.dc, 0, 0, c.width, c.height, source.dc, c.left, c.top, c.sourceWidth, c.sourceHeight,
               SRCCOPY);
    double worst = 0, sum = 0;
    for (int j = 0; j < c.height; ++j) {
      for (int i = 0; i < c.width; ++i) {
        // Down, an enlarged axis takes the row under the pixel's centre.
        const bool enlarged = c.height > c.sourceHeight;
        const int row = (2 * j + 1) * c.sourceHeight / (2 * c.height);
        const double exact = enlarged ? ExactRed(c.picture, c.rasterWidth, c.rasterHeight, c.left, row,
                                                 c.sourceWidth, 1, c.width, 1, i, 0)
                                      : ExactRed(c.picture, c.rasterWidth, c.rasterHeight, c.left, c.top,
                                                 c.sourceWidth, c.sourceHeight, c.width, c.height, i, j);
        if (std::isnan(exact)) {  // covers no source pixel: left as it was
          EXPECT_EQ(target.Red(i, j), 7);
          continue;
        }
        worst = std::max(worst, std::fabs(target.Red(i, j) - exact));
        sum += target.Red(i, j) - exact;
      }
    }
    EXPECT_LT(worst, 1.0);
    // Rounded without a bias, where there are enough pixels to tell; the
    // grid's means fall on a few values, which round the same way.
    if (c.width * c.height >= 100) {
      EXPECT_LT(std::fabs(sum / c.width / c.height), c.picture == Grid ? 0.5 : 0.1);
    }
  }
}

// Larger sources are read whole too, and the result is kept: the same stretch
// again gives the same pixels, and after the source is drawn on, the new
// ones.
TEST(Reduce, LargeSourcesGiveTheExactAreaAverageAndKeepIt) {
  Raster source(2560, 2048, Noise);
  const auto worstError = [&source](const Raster& target) {
    double worst = 0;
    for (int j = 0; j < target.height; ++j) {
      for (int i = 0; i < target.width; ++i) {
        const double exact = ExactRed(Noise, 2560, 2048, 0, 0, 2560, 2048, 826, 661, i, j);
        worst = std::max(worst, std::fabs(target.Red(i, j) - exact));
      }
    }
    return worst;
  };
  Raster first(826, 661, [](int, int) { return Grey(7); });
  StretchBlt(first.dc, 0, 0, 826, 661, source.dc, 0, 0, 2560, 2048, SRCCOPY);
  EXPECT_LT(worstError(first), 1.0);

  Raster again(826, 661, [](int, int) { return Grey(7); });
  StretchBlt(again.dc, 0, 0, 826, 661, source.dc, 0, 0, 2560, 2048, SRCCOPY);
  EXPECT_LT(worstError(again), 1.0);

  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) SetPixel(source.dc, x, y, Grey(255));
  }
  StretchBlt(again.dc, 0, 0, 826, 661, source.dc, 0, 0, 2560, 2048, SRCCOPY);
  EXPECT_EQ(again.Red(0, 0), 255) << "a result kept from before the source was drawn on";
}

// While a window is being resized, a large source that has been reduced
// exactly once is sampled instead: each destination pixel is the source pixel
// under its centre, and the context is marked approximated. The first paint
// of a source, and one at the size already kept, are exact and unmarked.
TEST(Reduce, WhileResizingLargeSourcesAreSampledAndTheContextMarked) {
  Raster source(2560, 2048, Noise);
  struct Step {
    const char* name;
    int width, height;
    bool sampled;
  };
  const Step steps[] = {
      {"the first paint", 826, 661, false},
      {"another size", 700, 560, true},
      {"yet another", 333, 267, true},
      {"the size kept", 826, 661, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    QuickRaster target(step.width, step.height, [](int, int) { return Grey(7); });
    StretchBlt(target.dc, 0, 0, step.width, step.height, source.dc, 0, 0, 2560, 2048, SRCCOPY);
    EXPECT_EQ(target.dc->approximated, step.sampled);
    double worst = 0;
    for (int j = 0; j < step.height; ++j) {
      for (int i = 0; i < step.width; ++i) {
        const int x = (2 * i + 1) * 2560 / (2 * step.width), y = (2 * j + 1) * 2048 / (2 * step.height);
        const double expected =
            step.sampled ? static_cast<double>(Noise(x, y) & 0xFF)
                         : ExactRed(Noise, 2560, 2048, 0, 0, 2560, 2048, step.width, step.height, i, j);
        worst = std::max(worst, std::fabs(target.Red(i, j) - expected));
      }
    }
    EXPECT_LT(worst, step.sampled ? 0.5 : 1.0);
  }
}

}  // namespace
