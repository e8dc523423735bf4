// The process's entry: loads the file named on the command line, creates and
// shows the viewer window and runs the message loop until the window closes.
#include "../loader/bitmap_loader.h"
#include "../platform/win32.h"
#include "../res/resource.h"
#include "../trace.h"
#include "start_up.h"
#include "texts.h"
#include "viewer_window.h"

HWND mainDialog;

namespace {

// Runs until WM_QUIT or a retrieval error; the record keeps the last message.
void RunMessageLoop(MSG& message) {
  for (;;) {
    const BOOL result = GetMessageA(&message, nullptr, 0, 0);
    if (result == 0) return;
    if (result == -1) {
      MessageBoxA(nullptr, kMessageLoopError, kMessageLoopErrorCaption, MB_OK);
      return;
    }
    if (IsDialogMessageA(mainDialog, &message) == 0) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

}  // namespace

char* PathFromCommandLine(char* commandLine) {
  if (commandLine[0] == '\0') return nullptr;
  if (commandLine[0] != '"') return commandLine;
  char* path = commandLine + 1;
  char* end = path;
  while (*end != '\0') ++end;
  if (end != path && end[-1] == '"') end[-1] = '\0';
  return path;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  bool failed = false;
  if (char* path = PathFromCommandLine(commandLine)) {
    TracePrint(kTracePath, path);
    failed = LoadBitmapFile(path) != 0;
  }
  mainDialog = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_VIEWER), nullptr, ViewerDlgProc, 0);
  ShowWindow(mainDialog, SW_SHOWNORMAL);
  // A file named on the command line that did not open says so, as a drop
  // that fails does: whoever opened it from a file manager sees why the
  // window only asks for a file.
  if (failed) SetWindowTextA(mainDialog, kErrorCaption);
  MSG message{};
  RunMessageLoop(message);
  return static_cast<int>(message.wParam);
}
