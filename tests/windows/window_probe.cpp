// Looks at the viewer's window from outside, for the smoke test under Wine:
//   window_probe caption PROGRAM  prints the caption once it has settled
//   window_probe client PROGRAM   prints the client area's width and height,
//                                 where its top left corner is on the screen,
//                                 and the DPI the window is drawn at
//   window_probe close PROGRAM    sends the window WM_CLOSE
// PROGRAM is the file name of the process that owns the window
// (rastelle.exe). The window is waited for up to ten seconds. The caption is
// printed as UTF-8, with a line feed written as \n and a backslash as \\.
// The probe is per-monitor aware itself, so it reads sizes in device pixels,
// whatever the viewer's awareness.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

struct Search {
  const wchar_t* program;
  HWND window;
};

bool OwnedBy(HWND window, const wchar_t* program) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (process == nullptr) return false;
  wchar_t image[MAX_PATH];
  DWORD length = MAX_PATH;
  const bool named = QueryFullProcessImageNameW(process, 0, image, &length) != 0;
  CloseHandle(process);
  if (!named) return false;
  const wchar_t* slash = std::wcsrchr(image, L'\\');
  return _wcsicmp(slash != nullptr ? slash + 1 : image, program) == 0;
}

BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  wchar_t className[16] = {};
  GetClassNameW(window, className, 16);
  if (std::wcscmp(className, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  if (!OwnedBy(window, search->program)) return TRUE;
  search->window = window;
  return FALSE;
}

HWND WaitForWindow(const wchar_t* program) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    Search search{program, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    if (search.window != nullptr) return search.window;
    Sleep(50);
  }
  return nullptr;
}

std::wstring Caption(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

// The caption once it has stayed the same for a second (the first paint sets
// it after the window is shown), at most five seconds on.
std::wstring SettledCaption(HWND window) {
  std::wstring caption = Caption(window);
  int unchanged = 0;
  for (int step = 0; step < 100 && unchanged < 20; ++step) {
    Sleep(50);
    const std::wstring now = Caption(window);
    unchanged = now == caption ? unchanged + 1 : 0;
    caption = now;
  }
  return caption;
}

void PrintEscaped(const std::wstring& text) {
  std::string out;
  for (wchar_t unit : text) {
    if (unit == L'\n') {
      out += "\\n";
    } else if (unit == L'\\') {
      out += "\\\\";
    } else {
      char bytes[8];
      const int length = WideCharToMultiByte(CP_UTF8, 0, &unit, 1, bytes, sizeof bytes, nullptr, nullptr);
      out.append(bytes, length > 0 ? static_cast<std::size_t>(length) : 0);
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fputc('\n', stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: window_probe caption|client|close PROGRAM\n", stderr);
    return 2;
  }
  _setmode(_fileno(stdout), _O_BINARY);  // line feeds as they are
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  const std::wstring command = argv[1];
  HWND window = WaitForWindow(argv[2]);
  if (window == nullptr) {
    std::fputs("window_probe: no window\n", stderr);
    return 1;
  }
  if (command == L"caption") {
    PrintEscaped(SettledCaption(window));
  } else if (command == L"client") {
    RECT client{};
    GetClientRect(window, &client);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    std::printf("%ld %ld %ld %ld %u\n", client.right - client.left, client.bottom - client.top, origin.x,
                origin.y, GetDpiForWindow(window));
  } else if (command == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
  } else {
    std::fputs("window_probe: unknown command\n", stderr);
    return 2;
  }
  return 0;
}
