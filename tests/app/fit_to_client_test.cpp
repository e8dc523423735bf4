// The fit of the image into the client area: zoom, size and position.
#include <gtest/gtest.h>

#include <cmath>

#include "app/viewer_window.h"

namespace {

TEST(FitToClient, Table) {
  struct Row {
    std::int32_t clientWidth, clientHeight;
    std::uint32_t width, height;
    double zoom;
    std::int32_t dw, dh, x, y;
  };
  const Row rows[] = {
      {400, 300, 800, 600, 0.5, 400, 300, 0, 0},
      {400, 300, 100, 100, 3, 300, 300, 50, 0},
      {301, 200, 100, 100, 2, 200, 200, 50, 0},
      {500, 300, 300, 100, 1.6666666666666667, 500, 166, 0, 67},
      {1000, 700, 3000, 2000, 0.3333333333333333, 1000, 666, 0, 17},
      {100, 100, 97, 50, 1.0309278350515463, 99, 51, 0, 24},
      {400, 300, 0, 100, 3, 0, 300, 200, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.clientWidth << " x " << row.clientHeight << " <- " << row.width
                                    << " x " << row.height);
    const Fit fit = FitToClient(row.clientWidth, row.clientHeight, row.width, row.height);
    EXPECT_EQ(fit.zoom, row.zoom);
    EXPECT_EQ(fit.dw, row.dw);
    EXPECT_EQ(fit.dh, row.dh);
    EXPECT_EQ(fit.x, row.x);
    EXPECT_EQ(fit.y, row.y);
  }
}

TEST(FitToClient, DimensionsWithTheTopBitSetCountAsUnsigned) {
  // 2^31 wide: a tiny positive ratio, not a negative one.
  const Fit fit = FitToClient(1024, 1024, 0x80000000u, 1024);
  EXPECT_EQ(fit.zoom, 1024.0 / 2147483648.0);
  EXPECT_EQ(fit.dw, 1024);
  EXPECT_EQ(fit.dh, 0);
  EXPECT_EQ(fit.x, 0);
  EXPECT_EQ(fit.y, 512);
}

TEST(FitToClient, InfiniteAndUndefinedRatios) {
  // An empty image: both ratios infinite, the width ratio taken.
  const Fit empty = FitToClient(400, 300, 0, 0);
  EXPECT_TRUE(std::isinf(empty.zoom));
  EXPECT_EQ(empty.dw, 0);  // 0 x infinity is not a number
  EXPECT_EQ(empty.dh, 0);
  EXPECT_EQ(empty.x, 200);
  EXPECT_EQ(empty.y, 150);
  // A client dimension of 0 against an image dimension of 0: not a number,
  // so the height ratio is taken.
  const Fit none = FitToClient(0, 300, 0, 100);
  EXPECT_EQ(none.zoom, 3);
  EXPECT_EQ(none.dw, 0);
  EXPECT_EQ(none.dh, 300);
  const Fit nan = FitToClient(400, 0, 100, 0);
  EXPECT_TRUE(std::isnan(nan.zoom));
  EXPECT_EQ(nan.dw, 0);
  EXPECT_EQ(nan.dh, 0);
}

}  // namespace
