// Files whose names the ANSI code page cannot spell open all the same: named
// on the command line, through the bytes WinMain is handed, and dropped onto
// the window as the shell drops them, with wide paths. The test driver runs
// this in code page 1252 and once more in 932; in each, some of the names
// below cannot be spelt.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/start_up.h"
#include "app/viewer_window.h"
#include "bmp_builder.h"
#include "loader/bitmap_loader.h"
#include "platform/memory.h"
#include "platform/win32.h"
#include "res/resource.h"

namespace {

// 写真 1.bmp (photo 1), café.bmp, 사진.bmp (photo): Japanese, accented Latin,
// Korean.
const std::wstring kNames[] = {L"\u5199\u771F 1.bmp", L"caf\u00E9.bmp", L"\uC0AC\uC9C4.bmp"};

// The bytes of text in the ANSI code page, as the system converts it.
std::string Ansi(const std::wstring& text, bool* lost = nullptr) {
  BOOL defaulted = FALSE;
  const DWORD flags = lost != nullptr ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL* usedDefault = lost != nullptr ? &defaulted : nullptr;
  const int size = WideCharToMultiByte(CP_ACP, flags, text.c_str(), -1, nullptr, 0, nullptr, usedDefault);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, flags, text.c_str(), -1, bytes.data(), size, nullptr, usedDefault);
  bytes.pop_back();  // the NUL
  if (lost != nullptr) *lost = defaulted != FALSE;
  return bytes;
}

// Writes a 2 x 2 bitmap under the given name in a temporary folder, by its wide
// path, and returns that path.
std::wstring WriteWideFile(const std::wstring& name) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"rastelle-wide-paths\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring path = folder + name;
  const ByteVector bytes = TwoByTwo24().Bytes();
  std::FILE* file = _wfopen(path.c_str(), L"wb");
  EXPECT_NE(file, nullptr);
  if (file != nullptr) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  return path;
}

void ReleaseImage() {
  if (CurrentImage.surfaceDc != nullptr) {
    DeleteDC(CurrentImage.surfaceDc);
    DeleteObject(CurrentImage.surfaceBitmap);
  }
  FreeBlock(CurrentImage.fileBody, CurrentImage.fileBodyRead);
  CurrentImage = LoadedImage{};
}

TEST(WidePaths, CommandLinePathOpensWhateverTheCodePage) {
  int unspellable = 0;
  for (const std::wstring& name : kNames) {
    const std::wstring path = WriteWideFile(name);
    for (const std::wstring& commandLine : {path, L"\"" + path + L"\""}) {
      SCOPED_TRACE(Ansi(commandLine));
      char* text = KeepCommandLine(commandLine.c_str());
      // WinMain is handed the bytes the ANSI calls would have given it.
      EXPECT_EQ(std::string(text), Ansi(commandLine));
      const char* bytes = PathFromCommandLine(text);
      ASSERT_NE(bytes, nullptr);
      EXPECT_EQ(LoadBitmapFile(bytes), 0);
      EXPECT_EQ(CurrentImage.width, 2);
      ReleaseImage();
      bool lost = false;
      Ansi(path, &lost);
      if (lost) {
        ++unspellable;
        std::FILE* file = std::fopen(bytes, "rb");
        EXPECT_EQ(file, nullptr) << "the bytes alone open the file";
        if (file != nullptr) std::fclose(file);
      }
    }
  }
  EXPECT_GT(unspellable, 0) << "code page " << GetACP() << " spells every name";
  keptCommandLine = KeptCommandLine{};
}

// A path cut short by WinMain's edit has its wide form up to the cut; a path
// that is not part of the command line has none.
TEST(WidePaths, CommandLineBytesMapBackToTheirWideForm) {
  char* text = KeepCommandLine(L"\"\uC0AC\uC9C4.bmp\"");
  std::wstring wide;
  ASSERT_NE(PathFromCommandLine(text), nullptr);
  EXPECT_TRUE(WideFormOf(text + 1, wide));
  EXPECT_EQ(wide, L"\uC0AC\uC9C4.bmp");
  const std::string copy = text + 1;
  EXPECT_FALSE(WideFormOf(copy.c_str(), wide));
  keptCommandLine = KeptCommandLine{};
}

// A drop handle as the shell makes one: the DROPFILES record with wide paths,
// each NUL-terminated, then one more NUL. The window releases it.
HDROP MakeWideDrop(const std::wstring& path) {
  std::wstring list = path;
  list.push_back(L'\0');
  list.push_back(L'\0');
  const std::size_t bytes = list.size() * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + bytes);
  auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
  files->pFiles = sizeof(DROPFILES);
  files->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), list.data(), bytes);
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST(WidePaths, DroppedFileOpensWhateverTheCodePage) {
  HWND window =
      CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_VIEWER), nullptr, ViewerDlgProc, 0);
  ASSERT_NE(window, nullptr);
  mainDialog = window;
  ShowWindow(window, SW_SHOWNORMAL);
  for (const std::wstring& name : kNames) {
    const std::wstring path = WriteWideFile(name);
    SCOPED_TRACE(Ansi(path));
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeWideDrop(path)), 0);
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    // The zoom caption, not the error caption: the file loaded.
    const std::wstring caption = text;
    EXPECT_TRUE(caption.size() > 3 && caption.compare(caption.size() - 3, 3, L" %\n") == 0) << text;
    EXPECT_EQ(CurrentImage.width, 2);
  }
  DestroyWindow(window);
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  mainDialog = nullptr;
  ReleaseImage();
  keptDroppedPath = KeptDroppedPath{};
}

}  // namespace
