// The drawing part of the layer: the effects the loader and renderers rely on.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/win32.h"

namespace {

struct MemoryContext {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  ~MemoryContext() {
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
  }
};

TEST(Gdi, NewMemoryContextHoldsOneByOneDefaultBitmap) {
  MemoryContext m;
  EXPECT_EQ(GetPixel(m.dc, 0, 0), 0u);
  EXPECT_EQ(GetPixel(m.dc, 1, 0), CLR_INVALID);
  EXPECT_EQ(GetPixel(m.dc, 0, 1), CLR_INVALID);
}

TEST(Gdi, SetPixelWritesInsideAndChangesNothingOutside) {
  MemoryContext m;
  HBITMAP bitmap = CreateCompatibleBitmap(m.screen, 3, 2);
  ASSERT_NE(bitmap, nullptr);
  SelectObject(m.dc, bitmap);
  EXPECT_EQ(SetPixel(m.dc, 2, 1, 0x00123456), 0x00123456u);
  for (auto [x, y] : {std::pair{3, 0}, {0, 2}, {-1, 0}, {0, -1}, {-2147483647 - 1, 1}, {2147483647, 0}}) {
    SCOPED_TRACE(testing::Message() << x << "," << y);
    EXPECT_EQ(SetPixel(m.dc, x, y, 0x00FFFFFF), CLR_INVALID);
  }
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(GetPixel(m.dc, x, y), x == 2 && y == 1 ? 0x00123456u : 0u);
  }
  DeleteDC(m.dc);
  m.dc = CreateCompatibleDC(m.screen);
  EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(Gdi, BitmapSizes) {
  struct Case {
    int width, height;
    bool made;
    int expectedWidth, expectedHeight;
  };
  const Case cases[] = {
      {0, 5, true, 1, 5},
      {5, 0, true, 5, 1},
      {0, 0, true, 1, 1},
      {-1, 5, false, 0, 0},
      {5, -1, false, 0, 0},
      {16384, 16384, true, 16384, 16384},
      {16385, 16384, false, 0, 0},
      {3000000, 2000000, false, 0, 0},
      {2147483647, 2147483647, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    MemoryContext m;
    HBITMAP bitmap = CreateCompatibleBitmap(m.screen, c.width, c.height);
    EXPECT_EQ(bitmap != nullptr, c.made);
    SelectObject(m.dc, bitmap);
    if (!c.made) {
      // The context keeps its default bitmap; nothing is written outside it.
      EXPECT_EQ(SetPixel(m.dc, 1, 0, 0xFF), CLR_INVALID);
      EXPECT_EQ(SetPixel(m.dc, 0, 0, 0xFF), 0xFFu);
      continue;
    }
    EXPECT_EQ(GetPixel(m.dc, c.expectedWidth - 1, c.expectedHeight - 1), 0u);
    EXPECT_EQ(GetPixel(m.dc, c.expectedWidth, 0), CLR_INVALID);
    EXPECT_EQ(GetPixel(m.dc, 0, c.expectedHeight), CLR_INVALID);
    DeleteDC(m.dc);
    m.dc = CreateCompatibleDC(m.screen);
    DeleteObject(bitmap);
  }
}

TEST(Gdi, SelectObjectReturnsWhatItReplaces) {
  MemoryContext m;
  HBITMAP first = CreateCompatibleBitmap(m.screen, 2, 2);
  HBITMAP second = CreateCompatibleBitmap(m.screen, 3, 3);
  HGDIOBJ stock = SelectObject(m.dc, first);
  EXPECT_NE(stock, nullptr);
  EXPECT_EQ(SelectObject(m.dc, second), first);
  EXPECT_FALSE(DeleteObject(second)) << "a selected bitmap cannot be deleted";
  EXPECT_TRUE(DeleteObject(first));
  EXPECT_EQ(SelectObject(m.dc, stock), second);
  EXPECT_TRUE(DeleteObject(second));
}

TEST(Gdi, LargeBitmapStartsZeroFilled) {
  MemoryContext m;
  HBITMAP bitmap = CreateCompatibleBitmap(m.screen, 4096, 600);
  SelectObject(m.dc, bitmap);
  EXPECT_EQ(GetPixel(m.dc, 4095, 599), 0u);
  EXPECT_EQ(GetPixel(m.dc, 1234, 321), 0u);
  SetPixel(m.dc, 4095, 599, 0x00ABCDEF);
  EXPECT_EQ(GetPixel(m.dc, 4095, 599), 0x00ABCDEFu);
  DeleteDC(m.dc);
  m.dc = CreateCompatibleDC(m.screen);
  DeleteObject(bitmap);
}

TEST(Gdi, ScreenContextDrawsNothing) {
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(SetPixel(screen, 0, 0, 0xFF), CLR_INVALID);
  EXPECT_EQ(GetPixel(screen, 0, 0), CLR_INVALID);
  ReleaseDC(nullptr, screen);
}

// Large rasters and blocks made one after another, where the memory of one
// given back may come back in the next, look fresh and are usable to their
// last byte.
TEST(Gdi, LargeBitmapAfterAnotherStartsZeroFilled) {
  struct Size {
    int width, height;
  };
  // The same size, a smaller one, a larger one, and one just above 2 MiB.
  const Size sizes[] = {{1024, 700}, {1024, 700}, {1024, 600}, {1024, 900}, {1024, 513}};
  for (const Size& size : sizes) {
    SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
    MemoryContext m;
    HBITMAP bitmap = CreateCompatibleBitmap(m.screen, size.width, size.height);
    ASSERT_NE(bitmap, nullptr);
    SelectObject(m.dc, bitmap);
    bool zero = true;
    for (int y = 0; y < size.height; ++y) {
      for (int x = 0; x < size.width; ++x) {
        zero = zero && GetPixel(m.dc, x, y) == 0;
        SetPixel(m.dc, x, y, 0x00FFFFFF);  // leaves stale pixels for the next one
      }
    }
    EXPECT_TRUE(zero);
    DeleteDC(m.dc);
    m.dc = CreateCompatibleDC(m.screen);
    EXPECT_TRUE(DeleteObject(bitmap));
  }
}

}  // namespace
