// Reducing stretches: each destination pixel the mean of the source area it
// covers, exactly, also from large sources, whose result is kept; and while a
// window is being resized, from large sources' reduced copies, which stay
// true to the source after it is drawn on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "hooks.h"
#include "platform/linux/gdi/reduce/reduced_copies.h"
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
  EXPECT_EQ(ReducedCopyBytes(source.bitmap), 0u);

  Raster again(826, 661, [](int, int) { return Grey(7); });
  StretchBlt(again.dc, 0, 0, 826, 661, source.dc, 0, 0, 2560, 2048, SRCCOPY);
  EXPECT_LT(worstError(again), 1.0);

  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) SetPixel(source.dc, x, y, Grey(255));
  }
  StretchBlt(again.dc, 0, 0, 826, 661, source.dc, 0, 0, 2560, 2048, SRCCOPY);
  EXPECT_EQ(again.Red(0, 0), 255) << "a result kept from before the source was drawn on";
}

// While a window is being resized, larger sources are read through reduced
// copies, once they have been reduced exactly. Pictures whose block means
// are exact (2 x 2 checks, a ramp) come out as the exact area average does;
// odd sizes end in partial blocks. Each copy rounds its means once more, up
// and down by turns, so a ramp keeps no bias; checks, whose means are exact
// halves, round up.
TEST(Reduce, WhileResizingLargeSourcesKeepTheMeanOfEachSpan) {
  struct Case {
    const char* name;
    int sourceWidth, sourceHeight, width, height;
    Picture picture;
    double worst, bias;
  };
  const Picture checks = [](int x, int y) { return (x + y) % 2 == 0 ? Grey(0) : Grey(255); };
  const Picture ramp = [](int x, int y) { return Grey((x + y) / 33); };
  const Picture rampEndingBlack = [](int x, int y) {
    return x == 4098 || y == 4102 ? Grey(0) : Grey((x + y) / 33);
  };
  const Case cases[] = {
      {"checks by 2, from the half-size copy", 2560, 2048, 1280, 1024, checks, 1.5, 0.5},
      {"ramp by 3.1, from the half-size copy", 2560, 2048, 826, 661, ramp, 1.5, 0.1},
      // 4099 = 4 x 1024 + 3: the half-size copy ends in a column and a row of
      // one pixel, black here, which the quarter-size copy weighs against a
      // whole one.
      {"ramp by 12.3, odd sizes, from the quarter-size copy", 4099, 4103, 333, 333, rampEndingBlack, 1.5,
       0.1},
      // Block means of noise are not exact, but neither too light nor too dark.
      {"noise by 3.1, from the half-size copy", 2560, 2048, 826, 661, Noise, 255, 0.05},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Raster source(c.sourceWidth, c.sourceHeight, c.picture);
    QuickRaster target(c.width, c.height, [](int, int) { return Grey(7); });
    StretchBlt(target.dc, 0, 0, c.width + 1, c.height, source.dc, 0, 0, c.sourceWidth, c.sourceHeight,
               SRCCOPY);
    EXPECT_EQ(ReducedCopyBytes(source.bitmap), 0u) << "copies before the first exact reduction";
    StretchBlt(target.dc, 0, 0, c.width, c.height, source.dc, 0, 0, c.sourceWidth, c.sourceHeight, SRCCOPY);
    EXPECT_GT(ReducedCopyBytes(source.bitmap), 0u);
    double worst = 0, sum = 0;
    for (int j = 0; j < c.height; ++j) {
      for (int i = 0; i < c.width; ++i) {
        const double exact = ExactRed(c.picture, c.sourceWidth, c.sourceHeight, 0, 0, c.sourceWidth,
                                      c.sourceHeight, c.width, c.height, i, j);
        worst = std::max(worst, std::fabs(target.Red(i, j) - exact));
        sum += target.Red(i, j) - exact;
      }
    }
    EXPECT_LT(worst, c.worst);
    EXPECT_LE(std::fabs(sum / c.width / c.height), c.bias);
  }
}

TEST(Reduce, OnePixelGridKeepsItsGreyThroughTheCopies) {
  const double grey = 255.0 * 36 / 49;  // 36 of every 49 pixels white
  Raster source(2560, 2048, Grid);
  Raster atRest(64, 64, [](int, int) { return Grey(7); });
  StretchBlt(atRest.dc, 0, 0, 64, 64, source.dc, 0, 0, 2560, 2048, SRCCOPY);
  for (int width : {1500, 900, 333, 101}) {
    SCOPED_TRACE(width);
    const int height = width * 4 / 5;
    QuickRaster target(width, height, [](int, int) { return Grey(7); });
    StretchBlt(target.dc, 0, 0, width, height, source.dc, 0, 0, 2560, 2048, SRCCOPY);
    double sum = 0;
    for (int j = 0; j < height; ++j) {
      for (int i = 0; i < width; ++i) sum += target.Red(i, j);
    }
    EXPECT_NEAR(sum / width / height, grey, 0.5);
  }
}

TEST(Reduce, CopiesFollowDrawingAndCostAtMostAThird) {
  // 2561 x 2049 pixels: the last of them share a page with what follows.
  Raster source(2561, 2049, [](int, int) { return Grey(200); });
  QuickRaster target(64, 64, [](int, int) { return Grey(7); });
  // While resizing, the first paint after a change is exact; the next ones
  // read the copies.
  const auto paintTwice = [&] {
    for (int i = 0; i < 2; ++i) StretchBlt(target.dc, 0, 0, 64, 64, source.dc, 0, 0, 2561, 2049, SRCCOPY);
  };
  paintTwice();
  EXPECT_EQ(target.Red(10, 10), 200);
  EXPECT_GT(ReducedCopyBytes(source.bitmap), 0u);
  // A third of what the bitmap would take at 4 bytes a pixel.
  EXPECT_LE(ReducedCopyBytes(source.bitmap), std::size_t{2561} * 2049 * 4 / 3);

  // Drawn on after the copies were made, each seen by the copies: the end of
  // the last row...
  for (int x = 2100; x < 2561; ++x) SetPixel(source.dc, x, 2048, Grey(0));
  paintTwice();
  EXPECT_LT(target.Red(63, 63), 200);
  EXPECT_EQ(target.Red(10, 10), 200);
  // ...then the first destination pixel's source area and a square.
  for (int y = 0; y < 33; ++y) {
    for (int x = 0; x < 41; ++x) SetPixel(source.dc, x, y, Grey(0));
  }
  for (int y = 1024; y < 1536; ++y) {
    for (int x = 640; x < 1280; ++x) SetPixel(source.dc, x, y, Grey(0));
  }
  paintTwice();
  EXPECT_EQ(target.Red(0, 0), 0);
  EXPECT_EQ(target.Red(20, 40), 0);
  EXPECT_EQ(target.Red(10, 10), 200);
}

}  // namespace
