// The viewer window on the real API, in an ANSI code page other than 932 when
// run under the test driver: the captions it sets when shown, after a failed
// drop and with an image (read back as UTF-16), the refit on every resize,
// the painted image, and the end of the message loop on WM_CLOSE.
#include "app/viewer_window.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "loader/bitmap_loader.h"
#include "platform/memory.h"
#include "platform/win32.h"
#include "res/resource.h"

namespace {

const std::wstring kTitleCaption = L"Rastelle ver 0.1";
const std::wstring kErrorCaption = L"\u30A8\u30E9\u30FC";  // エラー: error

// A drop handle as the shell makes one: the DROPFILES record, then each path
// NUL-terminated, then one more NUL. The window releases it.
HDROP MakeDrop(const std::vector<std::string>& paths) {
  std::string list;
  for (const std::string& path : paths) list.append(path).push_back('\0');
  list.push_back('\0');
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size());
  auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
  files->pFiles = sizeof(DROPFILES);
  files->fWide = FALSE;
  std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), list.data(), list.size());
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

// A 24-bit image of width x height pixels, all grey.
std::string WriteGreyImage(std::int32_t width, std::int32_t height) {
  BmpFile file;
  file.width = width;
  file.height = height;
  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
  file.pixels.assign(stride * static_cast<std::size_t>(height), 0x80);
  return WriteTempFile(file.Bytes(), "grey-" + std::to_string(width) + "x" + std::to_string(height) + ".bmp");
}

class ViewerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_VIEWER), nullptr,
                                 ViewerDlgProc, 0);
    ASSERT_NE(window_, nullptr);
    mainDialog = window_;
    ShowWindow(window_, SW_SHOWNORMAL);
    Pump();
  }

  void TearDown() override {
    if (IsWindow(window_)) DestroyWindow(window_);
    Pump();
    if (CurrentImage.surfaceDc != nullptr) {
      DeleteDC(CurrentImage.surfaceDc);
      DeleteObject(CurrentImage.surfaceBitmap);
    }
    FreeBlock(CurrentImage.fileBody, CurrentImage.fileBodyRead);
    CurrentImage = LoadedImage{};
    mainDialog = nullptr;
  }

  // Handles what is queued; true when WM_QUIT was among it, with its code.
  bool Pump(WPARAM* quitCode = nullptr) {
    bool quit = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        quit = true;
        if (quitCode != nullptr) *quitCode = message.wParam;
        continue;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return quit;
  }

  std::wstring Caption() const {
    wchar_t text[1024] = {};
    GetWindowTextW(window_, text, 1024);
    return text;
  }

  void Drop(const std::vector<std::string>& paths) {
    SendMessageA(window_, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
  }

  // Resizes the window so that its client area is width x height pixels.
  void SetClientSize(int width, int height) {
    RECT outer = {0, 0, width, height};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE)));
    SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT client;
    GetClientRect(window_, &client);
    ASSERT_EQ(client.right, width);
    ASSERT_EQ(client.bottom, height);
  }

  HWND window_ = nullptr;
};

TEST_F(ViewerWindowTest, ShownWindowHasTheTitleCaptionAndTheSmallIcon) {
  EXPECT_EQ(Caption(), kTitleCaption);
  EXPECT_NE(SendMessageW(window_, WM_GETICON, ICON_SMALL, 0), 0);
  EXPECT_EQ(SendMessageW(window_, WM_GETICON, ICON_BIG, 0), 0);
}

TEST_F(ViewerWindowTest, TemplateMakesAFileDropTargetWithoutControls) {
  EXPECT_NE(GetWindowLongW(window_, GWL_EXSTYLE) & WS_EX_ACCEPTFILES, 0);
  EXPECT_EQ(GetWindow(window_, GW_CHILD), nullptr);
}

TEST_F(ViewerWindowTest, FailedDropShowsTheErrorCaption) {
  Drop({"Z:\\no such folder\\missing.bmp"});
  EXPECT_EQ(Caption(), kErrorCaption);
  EXPECT_EQ(CurrentImage.surfaceDc, nullptr);
}

struct FitCase {
  int clientWidth, clientHeight;
  std::int32_t imageWidth, imageHeight;
  std::wstring caption;
};

TEST_F(ViewerWindowTest, DroppedImageGivesTheZoomCaption) {
  const FitCase cases[] = {
      {400, 300, 800, 600, L"50 %\n"},
      {400, 300, 100, 100, L"300 %\n"},
      {301, 200, 100, 100, L"200 %\n"},
      {500, 300, 300, 100, L"166.667 %\n"},
  };
  for (const FitCase& fit : cases) {
    SCOPED_TRACE(std::to_string(fit.imageWidth) + "x" + std::to_string(fit.imageHeight) + " in " +
                 std::to_string(fit.clientWidth) + "x" + std::to_string(fit.clientHeight));
    SetClientSize(fit.clientWidth, fit.clientHeight);
    Drop({WriteGreyImage(fit.imageWidth, fit.imageHeight)});
    EXPECT_EQ(Caption(), fit.caption);
  }
}

TEST_F(ViewerWindowTest, ResizeRefitsBeforeItReturns) {
  SetClientSize(400, 300);
  Drop({WriteGreyImage(100, 100)});
  ASSERT_EQ(Caption(), L"300 %\n");
  SetClientSize(301, 200);  // no messages handled in between
  EXPECT_EQ(Caption(), L"200 %\n");
}

TEST_F(ViewerWindowTest, DropOfSeveralFilesLoadsTheFirst) {
  SetClientSize(400, 300);
  const std::string image = WriteGreyImage(100, 100);
  const std::string missing = "Z:\\no such folder\\missing.bmp";
  Drop({image, missing});
  EXPECT_EQ(Caption(), L"300 %\n");
  Drop({missing, image});
  EXPECT_EQ(Caption(), kErrorCaption);
}

TEST_F(ViewerWindowTest, FailedDropReleasesTheImageShown) {
  Drop({WriteGreyImage(100, 100)});
  ASSERT_NE(CurrentImage.surfaceDc, nullptr);
  Drop({"Z:\\no such folder\\missing.bmp"});
  EXPECT_EQ(CurrentImage.surfaceDc, nullptr);
  EXPECT_EQ(Caption(), kErrorCaption);
  Drop({WriteGreyImage(100, 100)});
  EXPECT_NE(Caption(), kErrorCaption);
}

TEST_F(ViewerWindowTest, ShowWindowPutsTheTitleCaptionBack) {
  Drop({WriteGreyImage(100, 100)});
  ASSERT_NE(Caption(), kTitleCaption);
  SendMessageW(window_, WM_SHOWWINDOW, TRUE, 0);
  EXPECT_EQ(Caption(), kTitleCaption);
}

// The 2 x 2 image stored as the rows red, green and blue, white is shown with
// blue and white on top, fitted to 300 x 300 at (50, 0) in a 400 x 300 client
// area that is white with a black frame.
TEST_F(ViewerWindowTest, PaintsTheImageFittedAndCentred) {
  SetClientSize(400, 300);
  Drop({WriteTempFile(TwoByTwo24().Bytes(), "grid.bmp")});
  ASSERT_EQ(Caption(), L"15000 %\n");
  struct Probe {
    const char* where;
    int x, y;
    COLORREF colour;
  };
  const Probe probes[] = {
      {"top left quadrant", 125, 75, RGB(0, 0, 255)},     {"top right quadrant", 275, 75, RGB(255, 255, 255)},
      {"bottom left quadrant", 125, 225, RGB(255, 0, 0)}, {"bottom right quadrant", 275, 225, RGB(0, 255, 0)},
      {"left margin", 25, 150, RGB(255, 255, 255)},       {"frame, left", 0, 150, RGB(0, 0, 0)},
      {"frame, right", 399, 150, RGB(0, 0, 0)},           {"right margin", 375, 150, RGB(255, 255, 255)},
  };
  HDC dc = GetDC(window_);
  for (const Probe& probe : probes) {
    SCOPED_TRACE(probe.where);
    EXPECT_EQ(GetPixel(dc, probe.x, probe.y), probe.colour);
  }
  ReleaseDC(window_, dc);
}

// A copy of width x height pixels of a device context.
class Snapshot {
 public:
  Snapshot(HDC source, int x, int y, int width, int height) : width_(width), height_(height) {
    dc_ = CreateCompatibleDC(source);
    bitmap_ = CreateCompatibleBitmap(source, width, height);
    previous_ = SelectObject(dc_, bitmap_);
    BitBlt(dc_, 0, 0, width, height, source, x, y, SRCCOPY);
  }
  ~Snapshot() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_, height_;
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

// Without an image the prompt stands at (10, 10) in the stock font, black on
// white: the same pixels as its 28 UTF-16 characters drawn so on their own.
TEST_F(ViewerWindowTest, PromptIsPaintedAsItsJapaneseText) {
  const std::wstring prompt =
      L"\u30D3\u30C3\u30C8\u30DE\u30C3\u30D7\u30D5\u30A1\u30A4\u30EB\u3092\u30C9\u30E9\u30C3\u30B0"
      L"\u30A2\u30F3\u30C9\u30C9\u30ED\u30C3\u30D7\u3057\u3066\u304F\u3060\u3055\u3044";
  SetClientSize(640, 100);
  RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  HDC windowDc = GetDC(window_);
  HDC textDc = CreateCompatibleDC(windowDc);
  SIZE extent{};
  GetTextExtentPoint32W(textDc, prompt.data(), static_cast<int>(prompt.size()), &extent);
  ASSERT_GT(extent.cx, 0);
  ASSERT_LT(extent.cx, 600);
  HBITMAP textBitmap = CreateCompatibleBitmap(windowDc, extent.cx, extent.cy);
  HGDIOBJ previous = SelectObject(textDc, textBitmap);
  TextOutW(textDc, 0, 0, prompt.data(), static_cast<int>(prompt.size()));
  const Snapshot painted(windowDc, 10, 10, extent.cx, extent.cy);
  const Snapshot expected(textDc, 0, 0, extent.cx, extent.cy);
  SelectObject(textDc, previous);
  DeleteObject(textBitmap);
  DeleteDC(textDc);
  ReleaseDC(window_, windowDc);

  int differences = 0;
  int dark = 0;
  for (int y = 0; y < expected.height(); ++y) {
    for (int x = 0; x < expected.width(); ++x) {
      if (painted.at(x, y) != expected.at(x, y)) ++differences;
      if (expected.at(x, y) == RGB(0, 0, 0)) ++dark;
    }
  }
  EXPECT_EQ(differences, 0) << "of " << expected.width() * expected.height() << " pixels";
  EXPECT_GT(dark, 0);  // the text has glyphs to compare
}

TEST_F(ViewerWindowTest, CloseDestroysTheWindowAndQuitsWithZero) {
  SendMessageW(window_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindow(window_));
  WPARAM quitCode = 1;
  EXPECT_TRUE(Pump(&quitCode));
  EXPECT_EQ(quitCode, 0u);
}

}  // namespace
