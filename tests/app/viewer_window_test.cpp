// The viewer window on a window system without a display: captions,
// painting, drops, resizes, showing and closing, through the real message
// route.
#include "app/viewer_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "loaded_image.h"
#include "res/resource.h"
#include "window_driver.h"

namespace {

constexpr COLORREF kBlack = 0x00000000;
constexpr COLORREF kWhite = 0x00FFFFFF;
const std::string kTitle = "Rastelle ver 0.1";

// A 1-bit image of width x height pixels, all black.
std::string BlackImage(std::int32_t width, std::int32_t height, const std::string& name) {
  BmpFile file;
  file.bitCount = 1;
  file.width = width;
  file.height = height;
  file.palette = {0, 0, 0, 0, 255, 255, 255, 0};
  file.pixels.assign(static_cast<std::size_t>((width + 31) / 32 * 4) * static_cast<std::size_t>(height), 0);
  return WriteTempFile(file.Bytes(), name);
}

// The 2 x 2 image whose top row is blue, white and bottom row red, green.
std::string TwoByTwoImage() { return WriteTempFile(TwoByTwo24().Bytes(), "two-by-two.bmp"); }

class ViewerWindowTest : public LoaderTest {
 protected:
  void TearDown() override {
    if (IsWindow(mainDialog)) DestroyWindow(mainDialog);
    RunPendingMessages(nullptr);
    mainDialog = nullptr;
    LoaderTest::TearDown();
  }

  // Creates the window as start-up does, still invisible.
  HWND Create() {
    mainDialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_VIEWER), nullptr,
                                    ViewerDlgProc, 0);
    return mainDialog;
  }

  // Creates and shows it, and handles what that brings.
  HWND Open() {
    Create();
    ShowWindow(mainDialog, SW_SHOWNORMAL);
    RunPendingMessages(mainDialog);
    return mainDialog;
  }

  void Drop(const std::vector<std::string>& paths) {
    DropFiles(mainDialog, paths);
    RunPendingMessages(mainDialog);
  }

  void Resize(int width, int height) {
    ResizeClient(mainDialog, width, height);
    RunPendingMessages(mainDialog);
  }

  // The prompt's box: it begins at (10, 10) and is one line high.
  bool PromptPainted() { return AnyNonWhite(mainDialog, 10, 10, 300, 26); }
};

TEST_F(ViewerWindowTest, ShowingSetsTheSmallIconAndTheTitleCaption) {
  ASSERT_NE(Create(), nullptr);
  EXPECT_FALSE(IsWindowVisible(mainDialog));
  EXPECT_EQ(Caption(mainDialog), Cp932("ﾀﾞｲｱﾛｸﾞ"));  // the template's title until shown

  ShowWindow(mainDialog, SW_SHOWNORMAL);
  RunPendingMessages(mainDialog);
  EXPECT_TRUE(IsWindowVisible(mainDialog));
  EXPECT_EQ(Caption(mainDialog), kTitle);  // the prompt's paint leaves it alone
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VIEWER));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(SmallIcon(mainDialog), icon);
  EXPECT_EQ(BigIcon(mainDialog), nullptr);
  ASSERT_NE(ShownIconImage(mainDialog), nullptr);
  EXPECT_EQ(ShownIconImage(mainDialog)->width, 16);
  EXPECT_EQ(ShownIconImage(mainDialog)->height, 16);
}

TEST_F(ViewerWindowTest, WithoutAnImageTheFramedClientShowsThePrompt) {
  Open();
  Resize(400, 300);
  EXPECT_EQ(Caption(mainDialog), kTitle);
  for (auto [x, y] :
       {std::pair{0, 0}, {399, 0}, {0, 299}, {399, 299}, {200, 0}, {0, 150}, {399, 150}, {200, 299}}) {
    SCOPED_TRACE(testing::Message() << "frame at " << x << "," << y);
    EXPECT_EQ(ClientPixel(mainDialog, x, y), kBlack);
  }
  EXPECT_TRUE(PromptPainted());
  EXPECT_FALSE(AnyNonWhite(mainDialog, 1, 1, 399, 10));    // above the prompt
  EXPECT_FALSE(AnyNonWhite(mainDialog, 1, 40, 399, 299));  // below it
}

TEST_F(ViewerWindowTest, FileLoadedBeforeTheWindowExistsShowsAtTheFirstPaint) {
  ASSERT_EQ(LoadBitmapFile(TwoByTwoImage().c_str()), 0);
  Create();
  ResizeClient(mainDialog, 400, 300);
  ShowWindow(mainDialog, SW_SHOWNORMAL);
  RunPendingMessages(mainDialog);
  EXPECT_EQ(Caption(mainDialog), "15000 %\n");  // zoom 150
  // 300 x 300 at (50, 0): each image pixel a 150 x 150 block.
  EXPECT_EQ(ClientPixel(mainDialog, 60, 10), RGB(0, 0, 255));
  EXPECT_EQ(ClientPixel(mainDialog, 340, 10), kWhite);
  EXPECT_EQ(ClientPixel(mainDialog, 60, 290), RGB(255, 0, 0));
  EXPECT_EQ(ClientPixel(mainDialog, 340, 290), RGB(0, 255, 0));
  EXPECT_EQ(ClientPixel(mainDialog, 0, 150), kBlack);  // the frame beside the image
  EXPECT_EQ(ClientPixel(mainDialog, 25, 150), kWhite);
}

TEST_F(ViewerWindowTest, FitAndZoomCaptionFollowEveryResize) {
  struct Row {
    int clientWidth, clientHeight;
    std::int32_t width, height;
    const char* caption;
    int dw, dh, x, y;
  };
  const Row rows[] = {
      {400, 300, 800, 600, "50 %\n", 400, 300, 0, 0},
      {400, 300, 100, 100, "300 %\n", 300, 300, 50, 0},
      {301, 200, 100, 100, "200 %\n", 200, 200, 50, 0},
      {500, 300, 300, 100, "166.667 %\n", 500, 166, 0, 67},
      {1000, 700, 3000, 2000, "33.3333 %\n", 1000, 666, 0, 17},
      {100, 100, 97, 50, "103.093 %\n", 99, 51, 0, 24},
      {400, 300, 0, 100, "300 %\n", 0, 300, 200, 0},
  };
  Open();
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << row.clientWidth << " x " << row.clientHeight << " <- " << row.width
                                    << " x " << row.height);
    Resize(640, 480);
    Drop({BlackImage(row.width, row.height, "black.bmp")});
    ASSERT_NE(CurrentImage.surfaceDc, nullptr);
    Resize(row.clientWidth, row.clientHeight);
    EXPECT_EQ(Caption(mainDialog), row.caption);
    const int right = row.clientWidth - 1, bottom = row.clientHeight - 1;
    for (auto [x, y] :
         {std::pair{0, 0}, {right, bottom}, {row.clientWidth / 2, 0}, {row.clientWidth / 2, bottom}}) {
      SCOPED_TRACE(testing::Message() << "frame at " << x << "," << y);
      EXPECT_EQ(ClientPixel(mainDialog, x, y), kBlack);
    }
    if (row.dw > 0) {
      EXPECT_EQ(ClientPixel(mainDialog, row.x + row.dw / 2, row.y + row.dh / 2), kBlack);
      EXPECT_EQ(ClientPixel(mainDialog, row.x + row.dw - 1, row.y + row.dh - 1), kBlack);
    } else {
      EXPECT_FALSE(AnyNonWhite(mainDialog, 1, 1, right, bottom));
    }
    if (row.y > 1) {  // room above and below: white there, inside the frame
      EXPECT_EQ(ClientPixel(mainDialog, row.clientWidth / 2, row.y - 1), kWhite);
      EXPECT_EQ(ClientPixel(mainDialog, row.clientWidth / 2, row.y + row.dh), kWhite);
    }
    if (row.x > 1) {
      EXPECT_EQ(ClientPixel(mainDialog, row.x - 1, row.clientHeight / 2), kWhite);
      EXPECT_EQ(ClientPixel(mainDialog, row.x + row.dw, row.clientHeight / 2), kWhite);
    }
  }
}

TEST_F(ViewerWindowTest, ResizeRepaintsBeforeAnyPaintMessage) {
  Open();
  Drop({BlackImage(100, 100, "square.bmp")});
  ResizeClient(mainDialog, 400, 300);
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, mainDialog, WM_SIZE, WM_SIZE, PM_REMOVE));
  DispatchMessageA(&message);
  EXPECT_EQ(Caption(mainDialog), "300 %\n");
  EXPECT_EQ(ClientPixel(mainDialog, 200, 150), kBlack);
  EXPECT_FALSE(PeekMessageA(&message, mainDialog, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

// While the window is being resized, a large picture may be painted sampled
// rather than averaged; once the size has been still for a moment, and within
// 150 ms of the last resize step, the window paints it exactly.
TEST_F(ViewerWindowTest, ALargePictureIsPaintedExactlyOnceTheSizeIsStill) {
  BmpFile file;
  file.width = 2600;
  file.height = 2000;
  for (std::uint32_t i = 0; i < 2600u * 2000u * 3u; ++i) file.pixels.push_back(i * 2654435761u >> 24);
  Open();
  Resize(400, 300);
  Drop({WriteTempFile(file.Bytes(), "noise.bmp")});
  Resize(380, 290);
  const auto pixels = [](HDC dc) {
    std::vector<COLORREF> raster;
    for (int y = 0; y < 290; ++y) {
      for (int x = 0; x < 380; ++x) raster.push_back(GetPixel(dc, x, y));
    }
    return raster;
  };
  const auto client = [&pixels] {
    HDC dc = GetDC(mainDialog);
    std::vector<COLORREF> raster = pixels(dc);
    ReleaseDC(mainDialog, dc);
    return raster;
  };
  const std::vector<COLORREF> whileResizing = client();

  HDC exact = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(nullptr, 380, 290);
  SelectObject(exact, bitmap);
  const Fit fit = FitToClient(380, 290, 2600, 2000);
  StretchBlt(exact, fit.x, fit.y, fit.dw, fit.dh, CurrentImage.surfaceDc, 0, 0, 2600, 2000, SRCCOPY);
  const auto picture = [&fit](const std::vector<COLORREF>& raster) {
    std::vector<COLORREF> inside;
    for (int y = fit.y; y < fit.y + fit.dh; ++y)
      inside.insert(inside.end(), raster.begin() + y * 380 + fit.x,
                    raster.begin() + y * 380 + fit.x + fit.dw);
    return inside;
  };
  const std::vector<COLORREF> reference = picture(pixels(exact));
  DeleteDC(exact);
  DeleteObject(bitmap);
  EXPECT_NE(picture(whileResizing), reference) << "no quicker picture while resizing";

  AdvanceClock(10);
  RunPendingMessages(mainDialog);
  EXPECT_EQ(picture(client()), picture(whileResizing)) << "painted again before the size was still";
  AdvanceClock(140);
  RunPendingMessages(mainDialog);
  EXPECT_EQ(picture(client()), reference) << "no exact picture 150 ms after the last resize step";
}

TEST_F(ViewerWindowTest, FailedDropWhileAnImageIsShown) {
  Open();
  Resize(400, 300);
  Drop({BlackImage(100, 100, "square.bmp")});
  ASSERT_NE(CurrentImage.surfaceDc, nullptr);
  EXPECT_EQ(Caption(mainDialog), "300 %\n");

  Drop({WriteTempFile({'M', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "reversed.bmp")});
  EXPECT_EQ(CurrentImage.surfaceDc, nullptr);
  EXPECT_EQ(Caption(mainDialog), Cp932("エラー"));
  EXPECT_EQ(ClientPixel(mainDialog, 200, 150), kWhite);  // the image is gone
  EXPECT_TRUE(PromptPainted());

  Drop({BlackImage(100, 100, "square.bmp")});
  EXPECT_EQ(Caption(mainDialog), "300 %\n");
  EXPECT_EQ(ClientPixel(mainDialog, 200, 150), kBlack);
}

TEST_F(ViewerWindowTest, DropOfSeveralFilesLoadsOnlyTheFirst) {
  Open();
  const std::string wide = BlackImage(3, 1, "wide.bmp");
  const std::string tall = BlackImage(1, 5, "tall.bmp");
  Drop({wide, tall});
  EXPECT_EQ(CurrentImage.width, 3);
  EXPECT_EQ(CurrentImage.height, 1);

  Drop({WriteTempFile({}, "empty.bmp"), wide});
  EXPECT_EQ(CurrentImage.surfaceDc, nullptr);
  EXPECT_EQ(Caption(mainDialog), Cp932("エラー"));
}

// A dropped path longer than the 1023 bytes the buffer holds would arrive cut,
// and might name another file: here one that opens. The drop fails instead.
TEST_F(ViewerWindowTest, ADroppedPathTooLongForTheBufferFailsRatherThanOpenAnother) {
  // Folders whose path with "/pic.bmp" is exactly 1023 bytes.
  std::string folder = std::filesystem::path(WriteTempFile({}, "long")).parent_path() / "long-paths";
  std::filesystem::remove_all(folder);
  while (folder.size() < 1023 - 8) {
    const std::size_t room = 1023 - 8 - folder.size() - 1;
    folder.append(1, '/').append(std::min<std::size_t>(room, 200), 'd');
  }
  ASSERT_EQ(folder.size(), 1023u - 8);
  std::filesystem::create_directories(folder);
  const std::string cut = folder + "/pic.bmp";
  std::string whole = cut;
  whole.append(1100 - cut.size() - 4, 'X').append(".bmp");
  ASSERT_EQ(whole.size(), 1100u);
  const auto write = [](const std::string& path, std::int32_t width, std::int32_t height) {
    std::rename(BlackImage(width, height, "moved.bmp").c_str(), path.c_str());
  };
  write(cut, 30, 70);
  write(whole, 60, 40);
  Open();
  Resize(400, 300);
  Drop({whole});
  EXPECT_EQ(CurrentImage.surfaceDc, nullptr) << CurrentImage.width << " x " << CurrentImage.height;
  EXPECT_EQ(Caption(mainDialog), Cp932("エラー"));
  Drop({cut});  // the shorter one itself opens
  EXPECT_EQ(CurrentImage.width, 30);
  std::filesystem::remove_all(std::filesystem::path(WriteTempFile({}, "long")).parent_path() / "long-paths");
}

TEST_F(ViewerWindowTest, ShowingWhileAnImageIsShownPutsTheTitleBackUntilTheNextPaint) {
  Open();
  Resize(400, 300);
  Drop({BlackImage(100, 100, "square.bmp")});
  EXPECT_EQ(Caption(mainDialog), "300 %\n");
  SendMessageA(mainDialog, WM_SHOWWINDOW, TRUE, 0);
  EXPECT_EQ(Caption(mainDialog), kTitle);
  InvalidateRect(mainDialog, nullptr, TRUE);
  UpdateWindow(mainDialog);
  EXPECT_EQ(Caption(mainDialog), "300 %\n");
}

TEST_F(ViewerWindowTest, EraseIsHandledAndEverythingElseLeftToTheDefault) {
  Open();
  EXPECT_EQ(ViewerDlgProc(mainDialog, WM_ERASEBKGND, 0, 0), 1);
  constexpr UINT kKeyDown = 0x0100, kChar = 0x0102;
  for (UINT message : {WM_COMMAND, kKeyDown, kChar, WM_SETTEXT, WM_SETICON, WM_INITDIALOG, 0x0400u}) {
    SCOPED_TRACE(message);
    EXPECT_EQ(ViewerDlgProc(mainDialog, message, 0, 0), 0);
  }
  EXPECT_TRUE(IsWindow(mainDialog));
}

TEST_F(ViewerWindowTest, ClosingDestroysTheWindowAndQuitsWithZero) {
  Open();
  PressCloseBox(mainDialog);
  EXPECT_EQ(RunPendingMessages(mainDialog), 0);
  EXPECT_FALSE(IsWindow(mainDialog));
  // The stale handle stays harmless.
  MSG message{mainDialog, WM_CLOSE, 0, 0, 0, {0, 0}};
  EXPECT_EQ(IsDialogMessageA(mainDialog, &message), FALSE);
  EXPECT_EQ(DispatchMessageA(&message), 0);
}

}  // namespace
