// The whole start-up: the file named on the command line is loaded before
// the window exists, the window is shown with the title caption (or the error
// caption when the file did not open), and closing it ends the loop with the
// exit code 0.
#include <gtest/gtest.h>

#include "loaded_image.h"
#include "window_driver.h"

namespace {

struct AtShow {
  bool seen = false;
  bool imageLoaded = false;
  std::int32_t width = 0;
  std::string caption;
} atShow;

// When the viewer window appears, notes what start-up did so far and has the
// desktop close the window.
void CloseWhenShown(HWND window) {
  atShow.seen = true;
  atShow.imageLoaded = CurrentImage.surfaceDc != nullptr;
  atShow.width = CurrentImage.width;
  atShow.caption = Caption(window);
  PressCloseBox(window);
}

// The caption the window was left with: its record outlives it.
std::string LastCaption(HWND window) { return window->text; }

TEST_F(LoaderTest, WinMainLoadsTheNamedFileShowsTheWindowAndEndsWithZeroWhenClosed) {
  BmpFile file = TwoByTwo24();
  file.width = 1;
  file.pixels = {0, 0, 255, 0, 0, 0, 255, 0};  // 1 x 2: two red pixels
  struct Case {
    const char* name;
    ByteVector bytes;
    bool loads;
    std::string caption;  // once shown
  };
  const Case cases[] = {
      {"a bitmap", file.Bytes(), true, "Rastelle ver 0.1"},
      // Said as a failed drop says it, not left as if no file had been named.
      {"a file that does not open", {'B', 'M', 1, 2}, false, Cp932("エラー")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ResetCurrentImage();
    atShow = AtShow{};
    WhenShown(CloseWhenShown);
    std::string commandLine(1, '"');
    commandLine += WriteTempFile(c.bytes, "named on the command line.bmp");
    commandLine += '"';

    const int exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWNORMAL);

    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(atShow.seen);
    EXPECT_EQ(atShow.imageLoaded, c.loads);
    if (c.loads) {
      EXPECT_EQ(atShow.width, 1);
    }
    EXPECT_EQ(atShow.caption, "Rastelle ver 0.1");
    EXPECT_EQ(LastCaption(mainDialog), c.caption);
    EXPECT_NE(mainDialog, nullptr);
    EXPECT_FALSE(IsWindow(mainDialog));  // destroyed; the handle stays
    mainDialog = nullptr;
  }
}

}  // namespace
