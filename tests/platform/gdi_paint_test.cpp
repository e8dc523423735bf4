// Painting on memory contexts: rectangles with the default pen and a brush,
// and the stretching copy (crisp enlargement, averaging reduction, clipping).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

constexpr COLORREF kBlack = 0x00000000;
constexpr COLORREF kWhite = 0x00FFFFFF;
constexpr COLORREF kGrey = 0x00808080;

// A memory context with a bitmap of its own, filled with one colour.
struct Canvas {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap;
  int width, height;
  Canvas(int w, int h, COLORREF fill) : bitmap(CreateCompatibleBitmap(screen, w, h)), width(w), height(h) {
    SelectObject(dc, bitmap);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) SetPixel(dc, x, y, fill);
    }
  }
  ~Canvas() {
    DeleteDC(dc);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
  }
  // The raster as rows of characters: B black, W white, . for the fill grey,
  // otherwise the colour in hex.
  std::vector<std::string> Rows() const {
    std::vector<std::string> rows;
    for (int y = 0; y < height; ++y) {
      std::string row;
      for (int x = 0; x < width; ++x) {
        const COLORREF c = GetPixel(dc, x, y);
        row += c == kBlack ? 'B' : c == kWhite ? 'W' : c == kGrey ? '.' : '?';
      }
      rows.push_back(row);
    }
    return rows;
  }
};

void FillRectangle(HDC dc, COLORREF colour, int left, int top, int right, int bottom) {
  HBRUSH brush = CreateSolidBrush(colour);
  HGDIOBJ previous = SelectObject(dc, brush);
  Rectangle(dc, left, top, right, bottom);
  SelectObject(dc, previous);
  DeleteObject(brush);
}

TEST(Rectangle, OutlineOnTheEdgesRightAndBottomExclusiveFillInside) {
  struct Case {
    const char* name;
    int left, top, right, bottom;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"the whole raster", 0, 0, 5, 4, {"BBBBB", "BWWWB", "BWWWB", "BBBBB"}},
      {"inside", 1, 1, 4, 3, {".....", ".BBB.", ".BBB.", "....."}},
      {"corners swapped", 4, 3, 1, 0, {".BBB.", ".BWB.", ".BBB.", "....."}},
      {"past every edge: only the fill shows", -1, -1, 6, 5, {"WWWWW", "WWWWW", "WWWWW", "WWWWW"}},
      {"one pixel", 2, 1, 3, 2, {".....", "..B..", ".....", "....."}},
      {"empty", 2, 1, 2, 3, {".....", ".....", ".....", "....."}},
      {"far outside", 100, 100, 2147483647, 2147483647, {".....", ".....", ".....", "....."}},
      {"largest span", -2147483647 - 1, 0, 2147483647, 3, {"BBBBB", "WWWWW", "BBBBB", "....."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Canvas canvas(5, 4, kGrey);
    FillRectangle(canvas.dc, kWhite, c.left, c.top, c.right, c.bottom);
    EXPECT_EQ(canvas.Rows(), c.expected);
  }
}

TEST(Rectangle, NewContextFillsWithTheStockWhiteBrushAndTakesItBack) {
  Canvas canvas(3, 3, kGrey);
  Rectangle(canvas.dc, 0, 0, 3, 3);
  EXPECT_EQ(GetPixel(canvas.dc, 1, 1), kWhite);

  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  HGDIOBJ stock = SelectObject(canvas.dc, red);
  Rectangle(canvas.dc, 0, 0, 3, 3);
  EXPECT_EQ(GetPixel(canvas.dc, 1, 1), RGB(255, 0, 0));
  EXPECT_EQ(SelectObject(canvas.dc, stock), red);
  EXPECT_TRUE(DeleteObject(red));
  Rectangle(canvas.dc, 0, 0, 3, 3);
  EXPECT_EQ(GetPixel(canvas.dc, 1, 1), kWhite);
  EXPECT_TRUE(DeleteObject(stock));  // a stock object: nothing happens
  Rectangle(canvas.dc, 0, 0, 3, 3);
  EXPECT_EQ(GetPixel(canvas.dc, 1, 1), kWhite);
}

// A source of w x h pixels whose colours are given row by row.
struct Source : Canvas {
  Source(int w, int h, const std::vector<COLORREF>& colours) : Canvas(w, h, kGrey) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) SetPixel(dc, x, y, colours[static_cast<std::size_t>(y * w + x)]);
    }
  }
};

std::vector<COLORREF> Pixels(const Canvas& canvas) {
  std::vector<COLORREF> pixels;
  for (int y = 0; y < canvas.height; ++y) {
    for (int x = 0; x < canvas.width; ++x) pixels.push_back(GetPixel(canvas.dc, x, y));
  }
  return pixels;
}

constexpr COLORREF R = RGB(255, 0, 0), G = RGB(0, 255, 0), U = RGB(0, 0, 255), W = kWhite, K = kBlack;

TEST(StretchBlt, EnlargingMakesEverySourcePixelACrispBlock) {
  Source source(2, 2, {R, G, U, W});
  Canvas target(6, 4, kGrey);
  EXPECT_TRUE(StretchBlt(target.dc, 0, 0, 6, 4, source.dc, 0, 0, 2, 2, SRCCOPY));
  EXPECT_EQ(Pixels(target), (std::vector<COLORREF>{
                                R, R, R, G, G, G,  //
                                R, R, R, G, G, G,  //
                                U, U, U, W, W, W,  //
                                U, U, U, W, W, W,  //
                            }));
}

TEST(StretchBlt, SameSizeCopiesAndPlacesAtTheDestination) {
  Source source(2, 2, {R, G, U, W});
  Canvas target(4, 3, kGrey);
  StretchBlt(target.dc, 1, 1, 2, 2, source.dc, 0, 0, 2, 2, SRCCOPY);
  EXPECT_EQ(Pixels(target), (std::vector<COLORREF>{kGrey, kGrey, kGrey, kGrey,  //
                                                   kGrey, R, G, kGrey,          //
                                                   kGrey, U, W, kGrey}));
}

TEST(StretchBlt, ReducingAveragesTheCoveredPixels) {
  struct Case {
    const char* name;
    int sourceWidth, sourceHeight;
    std::vector<COLORREF> source;
    int width, height;
    std::vector<COLORREF> expected;
  };
  const COLORREF grey = RGB(128, 128, 128);  // black and white, rounded to nearest
  const Case cases[] = {
      {"2 x 2 black and white checks into one pixel", 2, 2, {K, W, W, K}, 1, 1, {grey}},
      {"colours across: each channel averaged", 4, 1, {R, R, G, U}, 1, 1, {RGB(128, 64, 64)}},
      {"halves", 4, 2, {R, R, U, U, R, R, U, U}, 2, 1, {R, U}},
      {"a thin black line in white, reduced 4 times across",
       8,
       1,
       {W, W, W, W, W, K, W, W},
       2,
       1,
       {W, RGB(191, 191, 191)}},
      {"a thin black line in white, reduced 2 times down", 1, 4, {W, W, K, W}, 1, 2, {W, grey}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Source source(c.sourceWidth, c.sourceHeight, c.source);
    Canvas target(c.width, c.height, kGrey);
    StretchBlt(target.dc, 0, 0, c.width, c.height, source.dc, 0, 0, c.sourceWidth, c.sourceHeight, SRCCOPY);
    EXPECT_EQ(Pixels(target), c.expected);
  }
}

TEST(StretchBlt, ThinLinesSurviveReductionAsTheirShareOfTheArea) {
  // A black column and a black row in a white 16 x 8 source, reduced 4 times
  // across and 2 times down: the destination column and row that cover them
  // come out darker than white, everything else stays white.
  std::vector<COLORREF> colours(16 * 8, W);
  for (int y = 0; y < 8; ++y) colours[static_cast<std::size_t>(y * 16 + 9)] = K;
  for (int x = 0; x < 16; ++x) colours[static_cast<std::size_t>(5 * 16 + x)] = K;
  Source source(16, 8, colours);
  Canvas target(4, 4, kGrey);
  StretchBlt(target.dc, 0, 0, 4, 4, source.dc, 0, 0, 16, 8, SRCCOPY);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      SCOPED_TRACE(testing::Message() << x << "," << y);
      const COLORREF pixel = GetPixel(target.dc, x, y);
      if (x == 2 || y == 2) {
        EXPECT_LT(pixel & 0xFF, 255u);
      } else {
        EXPECT_EQ(pixel, W);
      }
    }
  }
  EXPECT_EQ(GetPixel(target.dc, 2, 0), RGB(191, 191, 191));  // one black of four
  EXPECT_EQ(GetPixel(target.dc, 0, 2), RGB(128, 128, 128));  // one black row of two
}

TEST(StretchBlt, ClipsToTheDestinationAndSkipsWhatLiesOutsideTheSource) {
  Source source(2, 2, {R, G, U, W});
  Canvas target(3, 3, kGrey);
  // Half of the enlarged image hangs over the top-left corner.
  StretchBlt(target.dc, -2, -2, 4, 4, source.dc, 0, 0, 2, 2, SRCCOPY);
  EXPECT_EQ(Pixels(target), (std::vector<COLORREF>{W, W, kGrey, W, W, kGrey, kGrey, kGrey, kGrey}));

  // A source rectangle larger than the source raster: its pixels outside are
  // skipped and nothing is read beyond the raster.
  Canvas wide(4, 1, kGrey);
  StretchBlt(wide.dc, 0, 0, 4, 1, source.dc, 0, 0, 4, 1, SRCCOPY);
  EXPECT_EQ(Pixels(wide), (std::vector<COLORREF>{R, G, kGrey, kGrey}));
  Canvas shrunk(1, 1, kGrey);
  StretchBlt(shrunk.dc, 0, 0, 1, 1, source.dc, -2, -2, 3, 3, SRCCOPY);
  EXPECT_EQ(Pixels(shrunk), (std::vector<COLORREF>{R}));
}

TEST(StretchBlt, ExtremeRectanglesStayInsideBothRasters) {
  Source source(2, 2, {R, G, U, W});
  Canvas target(3, 3, kGrey);
  // A destination far larger than the raster, starting far to its left: the
  // visible part maps to the far end of the source span, which lies outside.
  StretchBlt(target.dc, -2147483647 + 1, 0, 2147483647, 3, source.dc, 0, 0, 2147483647, 2, SRCCOPY);
  EXPECT_EQ(GetPixel(target.dc, 0, 0), kGrey);
  StretchBlt(target.dc, 0, 0, 2147483647, 2147483647, source.dc, 0, 0, 2, 2, SRCCOPY);
  EXPECT_EQ(GetPixel(target.dc, 0, 0), R);  // the enlarged first source pixel
  EXPECT_EQ(GetPixel(target.dc, 2, 2), R);
}

TEST(StretchBlt, RefusesEmptyOrMirroredRectanglesAndOtherOperations) {
  Source source(2, 2, {R, G, U, W});
  Canvas target(2, 2, kGrey);
  EXPECT_FALSE(StretchBlt(target.dc, 0, 0, 0, 2, source.dc, 0, 0, 2, 2, SRCCOPY));
  EXPECT_FALSE(StretchBlt(target.dc, 0, 0, 2, 2, source.dc, 0, 0, 2, 0, SRCCOPY));
  EXPECT_FALSE(StretchBlt(target.dc, 0, 0, -2, 2, source.dc, 0, 0, 2, 2, SRCCOPY));
  EXPECT_FALSE(StretchBlt(target.dc, 0, 0, 2, 2, source.dc, 0, 0, 2, 2, 0x00EE0086));
  EXPECT_EQ(Pixels(target), std::vector<COLORREF>(4, kGrey));
}

}  // namespace
