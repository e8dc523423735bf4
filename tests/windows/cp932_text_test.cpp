// The Japanese texts reach the screen intact whatever the system's ANSI code
// page: window captions, painted text and message boxes read back as the
// right UTF-16. Run it where that page is not 932 (the test driver runs Wine
// in C.UTF-8, code page 1252) to see the difference it makes.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "res/resource.h"

namespace {

// The texts the viewer shows, as code page 932 bytes and as UTF-16.
struct ShownText {
  const char* name;
  std::string cp932;
  std::wstring utf16;
};

const ShownText kShownTexts[] = {
    // エラー: error
    {"error caption", "\x83G\x83\x89\x81[", L"\u30A8\u30E9\u30FC"},
    // ビットマップファイルをドラッグアンドドロップしてください: please drag and drop a bitmap file
    {"prompt",
     "\x83r\x83"
     "b\x83g\x83}\x83"
     "b\x83v\x83t\x83@\x83"
     "C\x83\x8B\x82\xF0\x83h\x83\x89\x83"
     "b\x83O"
     "\x83"
     "A\x83\x93\x83h\x83h\x83\x8D\x83"
     "b\x83v\x82\xB5\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2",
     L"\u30D3\u30C3\u30C8\u30DE\u30C3\u30D7\u30D5\u30A1\u30A4\u30EB\u3092\u30C9\u30E9\u30C3\u30B0"
     L"\u30A2\u30F3\u30C9\u30C9\u30ED\u30C3\u30D7\u3057\u3066\u304F\u3060\u3055\u3044"},
    {"title caption", "Rastelle ver 0.1", L"Rastelle ver 0.1"},
    {"zoom caption", "166.667 %\n", L"166.667 %\n"},
    {"empty", "", L""},
};

INT_PTR CALLBACK IdleDlgProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

// The viewer's dialog, made by the ANSI dialog function as the viewer makes it,
// with a procedure that does nothing.
class TestDialog {
 public:
  TestDialog()
      : window_(CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_VIEWER), nullptr,
                                   IdleDlgProc, 0)) {}
  ~TestDialog() { DestroyWindow(window_); }
  HWND get() const { return window_; }

 private:
  HWND window_;
};

std::wstring WindowTextW(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

TEST(Cp932Text, ConvertsTheViewerTexts) {
  std::printf("ANSI code page %u\n", GetACP());
  for (const ShownText& shown : kShownTexts) {
    SCOPED_TRACE(shown.name);
    std::wstring wide = L"stale";
    ASSERT_TRUE(WideFromCp932(shown.cp932.c_str(), -1, wide));
    EXPECT_EQ(wide, shown.utf16);
    ASSERT_TRUE(WideFromCp932(shown.cp932.data(), static_cast<int>(shown.cp932.size()), wide));
    EXPECT_EQ(wide, shown.utf16);
  }
}

TEST(Cp932Text, CaptionsReadBackAsUtf16) {
  TestDialog dialog;
  ASSERT_NE(dialog.get(), nullptr);
  for (const ShownText& shown : kShownTexts) {
    SCOPED_TRACE(shown.name);
    EXPECT_TRUE(SetWindowTextA(dialog.get(), shown.cp932.c_str()));
    EXPECT_EQ(WindowTextW(dialog.get()), shown.utf16);
  }
}

// A white memory surface to draw text on, in the stock font.
class TextSurface {
 public:
  TextSurface() {
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, kWidth, kHeight);
    ReleaseDC(nullptr, screen);
    previous_ = SelectObject(dc_, bitmap_);
    RECT all = {0, 0, kWidth, kHeight};
    FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  }
  ~TextSurface() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }

  std::vector<COLORREF> Pixels() const {
    std::vector<COLORREF> pixels;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) pixels.push_back(GetPixel(dc_, x, y));
    }
    return pixels;
  }

  static constexpr int kWidth = 640;
  static constexpr int kHeight = 32;

 private:
  HDC dc_;
  HBITMAP bitmap_;
  HGDIOBJ previous_;
};

// Empty when the rasters agree; otherwise where they first differ.
std::string DescribeDifference(const std::vector<COLORREF>& actual, const std::vector<COLORREF>& expected) {
  for (std::size_t i = 0; i < actual.size() && i < expected.size(); ++i) {
    if (actual[i] != expected[i]) {
      char text[96];
      std::snprintf(text, sizeof text, "first difference at (%d, %d): 0x%06lX, expected 0x%06lX",
                    static_cast<int>(i % TextSurface::kWidth), static_cast<int>(i / TextSurface::kWidth),
                    static_cast<unsigned long>(actual[i]), static_cast<unsigned long>(expected[i]));
      return text;
    }
  }
  return actual.size() == expected.size() ? "" : "sizes differ";
}

std::vector<COLORREF> DrawnW(const std::wstring& text) {
  TextSurface surface;
  TextOutW(surface.dc(), 10, 10, text.data(), static_cast<int>(text.size()));
  return surface.Pixels();
}

TEST(Cp932Text, PaintedTextMatchesTheUtf16Text) {
  for (const ShownText& shown : kShownTexts) {
    SCOPED_TRACE(shown.name);
    TextSurface surface;
    EXPECT_TRUE(TextOutA(surface.dc(), 10, 10, shown.cp932.data(), static_cast<int>(shown.cp932.size())));
    EXPECT_EQ(DescribeDifference(surface.Pixels(), DrawnW(shown.utf16)), "");
  }
}

// The comparison above tells the texts apart: the bytes drawn as they are, in
// an ANSI code page other than 932, give other pixels.
TEST(Cp932Text, UnconvertedBytesPaintOtherPixels) {
  if (GetACP() == kViewerCodePage) GTEST_SKIP() << "the ANSI code page is 932 here";
  using TextOutFunction = BOOL(WINAPI*)(HDC, int, int, LPCSTR, int);
  const auto rawTextOut = reinterpret_cast<TextOutFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("gdi32.dll"), "TextOutA")));
  ASSERT_NE(rawTextOut, nullptr);
  const ShownText& prompt = kShownTexts[1];
  TextSurface surface;
  rawTextOut(surface.dc(), 10, 10, prompt.cp932.data(), static_cast<int>(prompt.cp932.size()));
  EXPECT_NE(DescribeDifference(surface.Pixels(), DrawnW(prompt.utf16)), "");
}

// Reads the message box's caption and text once it is up, then presses OK.
struct MessageBoxReading {
  std::wstring caption;
  std::wstring text;
  bool found = false;
};

// Runs on a thread of its own while the test's thread waits in the box.
struct MessageBoxWatch {
  DWORD boxThread;
  MessageBoxReading reading;
};

DWORD WINAPI ReadMessageBoxAndPressOk(void* data) {
  auto* watch = static_cast<MessageBoxWatch*>(data);
  for (int attempt = 0; attempt < 500 && !watch->reading.found; ++attempt) {
    EnumThreadWindows(
        watch->boxThread,
        [](HWND window, LPARAM reading) -> BOOL {
          auto* found = reinterpret_cast<MessageBoxReading*>(reading);
          if (!IsWindowVisible(window)) return TRUE;
          found->caption = WindowTextW(window);
          wchar_t text[1024] = {};
          GetDlgItemTextW(window, 0xFFFF, text, 1024);  // the box's text control
          found->text = text;
          found->found = true;
          PostMessageW(window, WM_COMMAND, IDOK, 0);
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&watch->reading));
    if (!watch->reading.found) Sleep(20);
  }
  return 0;
}

TEST(Cp932Text, MessageBoxesReadBackAsUtf16) {
  const ShownText& error = kShownTexts[0];
  MessageBoxWatch watch{GetCurrentThreadId(), {}};
  HANDLE presser = CreateThread(nullptr, 0, ReadMessageBoxAndPressOk, &watch, 0, nullptr);
  ASSERT_NE(presser, nullptr);
  const int result = MessageBoxA(nullptr, error.cp932.c_str(), "Error", MB_OK);
  WaitForSingleObject(presser, INFINITE);
  CloseHandle(presser);
  ASSERT_TRUE(watch.reading.found) << "no message box appeared";
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(watch.reading.caption, L"Error");
  EXPECT_EQ(watch.reading.text, error.utf16);
}

}  // namespace
