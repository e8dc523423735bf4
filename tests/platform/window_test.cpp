// The window part of the layer: the effects the viewer relies on, checked
// with a dialog procedure that records what it receives.
#include <fontconfig/fontconfig.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "loaded_image.h"
#include "res/resource.h"
#include "window_driver.h"

namespace {

struct Received {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::string text;  // WM_SETTEXT's bytes
};
std::vector<Received> received;
std::vector<std::vector<std::string>> drops;  // the files of each WM_DROPFILES
INT_PTR eraseResult = 0;

INT_PTR CALLBACK RecordingDlgProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  Received r{message, wParam, lParam, {}};
  if (message == WM_SETTEXT && lParam != 0) r.text = reinterpret_cast<const char*>(lParam);
  if (message == WM_DROPFILES) {
    HDROP drop = reinterpret_cast<HDROP>(wParam);
    std::vector<std::string> files;
    const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      std::string path(DragQueryFileA(drop, i, nullptr, 0), '\0');
      DragQueryFileA(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
      files.push_back(path);
    }
    drops.push_back(files);
    DragFinish(drop);
  }
  received.push_back(r);
  return message == WM_ERASEBKGND ? eraseResult : 0;
}

std::vector<UINT> Messages() {
  std::vector<UINT> messages;
  for (const Received& r : received) messages.push_back(r.message);
  return messages;
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    received.clear();
    drops.clear();
    eraseResult = 0;
    window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_VIEWER), nullptr,
                                RecordingDlgProc, 1234);
    ASSERT_NE(window, nullptr);
  }
  void TearDown() override {
    if (IsWindow(window)) DestroyWindow(window);
    RunPendingMessages(nullptr);
  }
  HWND window = nullptr;
};

TEST_F(WindowTest, CreationFollowsTheTemplateAndSendsTheCreationMessages) {
  EXPECT_EQ(Messages(), (std::vector<UINT>{WM_SETFONT, WM_INITDIALOG}));
  EXPECT_EQ(received[1].lParam, 1234);
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(Caption(window), Cp932("ﾀﾞｲｱﾛｸﾞ"));
  EXPECT_EQ(SystemTitle(window), "ﾀﾞｲｱﾛｸﾞ");
  // 305 x 181 dialog units in a 9-point font: 12-pixel lines, so 6 pixels
  // per 4 units across and 12 per 8 down.
  RECT client;
  ASSERT_TRUE(GetClientRect(window, &client));
  EXPECT_EQ(client.left, 0);
  EXPECT_EQ(client.top, 0);
  EXPECT_EQ(client.right, 458);
  EXPECT_EQ(client.bottom, 272);
  // The window system is asked for the frame of the template's style, at its
  // place, and for drops.
  const WindowRequest asked = AskedWindow(window);
  EXPECT_EQ(asked.style, 0x80CD0040u);
  EXPECT_EQ(asked.x, 0);
  EXPECT_EQ(asked.y, 0);
  EXPECT_EQ(asked.width, 458);
  EXPECT_EQ(asked.height, 272);
  EXPECT_TRUE(asked.acceptsFiles);
  EXPECT_EQ(GetWindowLongPtrA(window, GWLP_HINSTANCE), reinterpret_cast<LONG_PTR>(GetModuleHandleA(nullptr)));
}

TEST_F(WindowTest, ShowWindowSendsShowWindowOnceAndMarksForPainting) {
  received.clear();
  EXPECT_FALSE(ShowWindow(window, SW_SHOWNORMAL));
  EXPECT_TRUE(ShowWindow(window, SW_SHOWNORMAL));  // already shown: nothing sent
  ASSERT_EQ(Messages(), (std::vector<UINT>{WM_SHOWWINDOW}));
  EXPECT_EQ(received[0].wParam, static_cast<WPARAM>(TRUE));
  MSG message;
  ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(message.message, WM_PAINT);
  EXPECT_EQ(message.hwnd, window);
}

TEST_F(WindowTest, UpdateWindowPaintsBeforeItReturnsOnlyWhenMarkedAndVisible) {
  InvalidateRect(window, nullptr, TRUE);
  received.clear();
  UpdateWindow(window);  // invisible: nothing
  EXPECT_TRUE(received.empty());
  ShowWindow(window, SW_SHOWNORMAL);
  received.clear();
  UpdateWindow(window);
  // The procedure left WM_PAINT to the default, which validated; erasing was
  // asked for, so the procedure saw WM_ERASEBKGND with the paint context.
  EXPECT_EQ(Messages(), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
  EXPECT_NE(received[1].wParam, 0u);
  received.clear();
  UpdateWindow(window);
  EXPECT_TRUE(received.empty());
  MSG message;
  EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_NOREMOVE));
}

TEST_F(WindowTest, EraseIsLeftToTheProcedureOrDoneByTheDefault) {
  ShowWindow(window, SW_SHOWNORMAL);
  for (INT_PTR result : {0, 1}) {
    SCOPED_TRACE(result);
    eraseResult = result;
    HDC dc = GetDC(window);
    SetPixel(dc, 5, 5, RGB(1, 2, 3));
    ReleaseDC(window, dc);
    InvalidateRect(window, nullptr, TRUE);
    PAINTSTRUCT paint;
    ASSERT_NE(BeginPaint(window, &paint), nullptr);
    EXPECT_FALSE(paint.fErase);  // erased, by the procedure or by the default
    EXPECT_EQ(paint.rcPaint.right, 458);
    EXPECT_EQ(GetPixel(paint.hdc, 5, 5), result == 1 ? RGB(1, 2, 3) : 0x00F0F0F0u);
    EndPaint(window, &paint);
  }
}

TEST_F(WindowTest, SetWindowTextReentersTheProcedureAndKeepsTheBytes) {
  const std::string error = Cp932("エラー");
  received.clear();
  EXPECT_TRUE(SetWindowTextA(window, error.c_str()));
  ASSERT_EQ(Messages(), (std::vector<UINT>{WM_SETTEXT}));
  EXPECT_EQ(received[0].text, error);
  EXPECT_EQ(Caption(window), error);
  EXPECT_EQ(SystemTitle(window), "エラー");  // the desktop's title is UTF-8
  // The window keeps every byte; the desktop's title leaves out the control
  // characters, which desktops draw as boxes.
  const struct {
    std::string text, title;
  } rows[] = {{"50 %\n", "50 %"}, {"\t1\x7F" + error + "\r\x1F", "1エラー"}, {"\n", ""}};
  for (const auto& row : rows) {
    SetWindowTextA(window, row.text.c_str());
    EXPECT_EQ(Caption(window), row.text);
    EXPECT_EQ(SystemTitle(window), row.title);
  }
}

TEST_F(WindowTest, AllFilesOfOneDropArriveInOneMessage) {
  DropFiles(window, {"/tmp/a.bmp", "/tmp/b c.bmp", "/tmp/\xE3\x81\x82.bmp"});
  DropFiles(window, {"/tmp/d.bmp"});
  RunPendingMessages(window);
  ASSERT_EQ(drops.size(), 2u);
  EXPECT_EQ(drops[0], (std::vector<std::string>{"/tmp/a.bmp", "/tmp/b c.bmp", "/tmp/\xE3\x81\x82.bmp"}));
  EXPECT_EQ(drops[1], (std::vector<std::string>{"/tmp/d.bmp"}));
}

// Drops as file managers and browsers send them: a file URI whose host is
// empty, localhost or this machine's name is a local path, percent-decoded;
// any other URI names no file the viewer can open and arrives as an empty
// path, which no load opens. Comments and blank lines name nothing.
TEST_F(WindowTest, DroppedUrisAreLocalPathsOrNone) {
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  struct Row {
    std::string list;
    std::vector<std::string> paths;
  };
  const Row rows[] = {
      {"file:///tmp/a.bmp\r\n", {"/tmp/a.bmp"}},
      {"file://localhost/tmp/a.bmp\r\n", {"/tmp/a.bmp"}},
      {"file://LocalHost/tmp/a.bmp", {"/tmp/a.bmp"}},
      {"file://" + std::string(host) + "/tmp/a.bmp\n", {"/tmp/a.bmp"}},
      {"FILE:/tmp/a.bmp\r\n", {"/tmp/a.bmp"}},
      {"file:///tmp/%E5%86%99%E7%9C%9F%201.bmp\r\n", {"/tmp/\xE5\x86\x99\xE7\x9C\x9F 1.bmp"}},
      {"file:///tmp/100%25%zz%4.bmp\r\n", {"/tmp/100%%zz%4.bmp"}},
      {"http://example.com/a.bmp\r\nfile:///tmp/b.bmp\r\n", {"", "/tmp/b.bmp"}},
      {"smb://server/share/a.bmp\r\n", {""}},
      {"file://elsewhere.example/tmp/a.bmp\r\n", {""}},
      {"file:///tmp/a.bmp%00.txt\r\n", {""}},
      {"file:tmp/a.bmp\r\n", {""}},
      {"# dragged from a browser\r\n\r\nfile:///tmp/c.bmp\r\n", {"/tmp/c.bmp"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.list);
    drops.clear();
    DropUriList(window, row.list);
    RunPendingMessages(window);
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0], row.paths);
  }
  drops.clear();
  DropUriList(window, "# nothing\r\n");
  RunPendingMessages(window);
  EXPECT_TRUE(drops.empty()) << "a drop that names nothing";
}

TEST_F(WindowTest, DragQueryFileCutsToTheBufferAndCounts) {
  HDROP drop = nullptr;
  received.clear();
  DropFiles(window, {"/tmp/abcdef.bmp"});
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_DROPFILES) drop = reinterpret_cast<HDROP>(message.wParam);
  }
  ASSERT_NE(drop, nullptr);
  EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0), 1u);
  EXPECT_EQ(DragQueryFileA(drop, 0, nullptr, 0), 15u);
  char path[8];
  EXPECT_EQ(DragQueryFileA(drop, 0, path, sizeof path), 7u);
  EXPECT_STREQ(path, "/tmp/ab");
  EXPECT_EQ(DragQueryFileA(drop, 1, path, sizeof path), 0u);
  DragFinish(drop);
}

TEST_F(WindowTest, QueueOrderPostedThenQuitThenPaint) {
  ShowWindow(window, SW_SHOWNORMAL);
  PostMessageA(window, 0x0401, 7, 8);
  PostQuitMessage(3);
  MSG message;
  EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.message, 0x0401u);
  EXPECT_EQ(message.wParam, 7u);
  EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), FALSE);
  EXPECT_EQ(message.message, WM_QUIT);
  EXPECT_EQ(message.wParam, 3u);
  EXPECT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
  EXPECT_EQ(message.message, WM_PAINT);
}

TEST_F(WindowTest, TheCloseBoxIsLeftToTheProcedure) {
  ShowWindow(window, SW_SHOWNORMAL);
  RunPendingMessages(window);
  received.clear();
  PressCloseBox(window);
  RunPendingMessages(window);
  // A procedure that leaves WM_CLOSE alone keeps its window: the default
  // cancels the dialog, which a modeless one without a cancel button ignores.
  std::vector<UINT> messages = Messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), WM_CLOSE), 1);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_TRUE(DestroyWindow(window));
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(DestroyWindow(window));
}

TEST_F(WindowTest, SmallIconGivesTheDesktopIts16PixelImage) {
  HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VIEWER));
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_VIEWER)), icon);  // shared
  EXPECT_EQ(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999)), nullptr);
  EXPECT_EQ(SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon)), 0);
  const IconImage* shown = ShownIconImage(window);
  ASSERT_NE(shown, nullptr);
  ASSERT_NE(SystemIcon(window), nullptr);
  EXPECT_EQ(SystemIcon(window)->argb, shown->argb);  // what the window system was given
  ASSERT_EQ(shown->width, 16);
  ASSERT_EQ(shown->height, 16);
  // The picture top row first, red in bits 16 to 23: a dark frame along the
  // top, sky (blue beyond red) in the upper part, a hill (green beyond red
  // and blue) in the lower part.
  const auto at = [&](int x, int y) { return shown->argb[static_cast<std::size_t>(y * 16 + x)]; };
  const auto red = [](std::uint32_t p) { return (p >> 16) & 0xFF; };
  const auto green = [](std::uint32_t p) { return (p >> 8) & 0xFF; };
  const auto blue = [](std::uint32_t p) { return p & 0xFF; };
  for (std::uint32_t pixel : shown->argb) EXPECT_EQ(pixel >> 24, 0xFFu);  // opaque
  for (int x = 0; x < 16; ++x) EXPECT_LT(red(at(x, 0)) + green(at(x, 0)) + blue(at(x, 0)), 0x120u) << x;
  const std::uint32_t sky = at(4, 4), hill = at(8, 13);
  EXPECT_GT(blue(sky), red(sky) + 0x40) << std::hex << sky;
  EXPECT_GT(green(hill), red(hill)) << std::hex << hill;
  EXPECT_GT(green(hill), blue(hill)) << std::hex << hill;
}

// An environment variable set or unset for the life of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedVariable() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST_F(WindowTest, AMessageBoxThatCannotBeShownGoesToStandardError) {
  // The box is shown by a dialog program; here there is none to be found.
  const ScopedVariable x11("DISPLAY", nullptr), path("PATH", "/nonexistent");
  ::testing::internal::CaptureStderr();
  MessageBoxA(nullptr, "GetMessage ERR", "Error", MB_OK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "rastelle: Error: GetMessage ERR\n");
}

TEST(TextOut, WritesBlackGlyphsOnOpaqueWhiteInItsBox) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 600, 60);
  SelectObject(dc, bitmap);
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 600; ++x) SetPixel(dc, x, y, 0x00808080);
  }
  const std::string prompt = Cp932("ビットマップファイルをドラッグアンドドロップしてください");
  ASSERT_EQ(prompt.size(), 56u);
  EXPECT_TRUE(TextOutA(dc, 10, 10, prompt.c_str(), 56));
  int black = 0, white = 0, left = 600, right = 0, top = 60, bottom = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 600; ++x) {
      const COLORREF pixel = GetPixel(dc, x, y);
      if (pixel == 0x00808080) continue;
      left = std::min(left, x), right = std::max(right, x), top = std::min(top, y),
      bottom = std::max(bottom, y);
      black += (pixel & 0xFF) < 0x40;
      white += pixel == 0x00FFFFFF;
    }
  }
  EXPECT_EQ(left, 10);  // the box's top-left corner
  EXPECT_EQ(top, 10);
  EXPECT_GT(right, 10 + 28 * 8);  // 28 characters, at least half-width each
  EXPECT_LT(bottom, 10 + 40);     // one line
  EXPECT_GT(black, 28 * 10);      // strokes of every character
  EXPECT_GT(white, black);        // on an opaque background
  DeleteDC(dc);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
}

TEST(TextOut, LeavesFontconfigToItsOtherUsers) {
  // Another library in the process holds a font of fontconfig's default
  // configuration, as libdecor's title bar does on Wayland. Text output must
  // not tear that configuration down under it (fontconfig aborts).
  ASSERT_EQ(FcInit(), FcTrue);
  FcFontSet* fonts = FcConfigGetFonts(nullptr, FcSetSystem);
  if (fonts == nullptr || fonts->nfont == 0) GTEST_SKIP() << "fontconfig knows no fonts";
  FcPattern* held = fonts->fonts[0];
  FcPatternReference(held);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 200, 40);
  SelectObject(dc, bitmap);
  const std::string text = Cp932("ビットマップ");
  EXPECT_TRUE(TextOutA(dc, 0, 0, text.c_str(), static_cast<int>(text.size())));
  FcChar8* family = nullptr;
  EXPECT_EQ(FcPatternGetString(held, FC_FAMILY, 0, &family), FcResultMatch);
  FcPatternDestroy(held);
  DeleteDC(dc);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  FcFini();  // the other user is done with it
}

}  // namespace
