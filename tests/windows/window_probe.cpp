// Looks at the viewer from outside, for the tests under Wine:
//   window_probe caption PROGRAM   prints the caption once it has settled
//   window_probe client PROGRAM    prints the client area's width and height,
//                                  where its top left corner is on the
//                                  screen, and the DPI the window is drawn at
//   window_probe close PROGRAM     sends the window WM_CLOSE
//   window_probe run COMMAND_LINE  starts COMMAND_LINE as the shell does, as
//                                  it stands, waits for it to end and exits
//                                  with its exit code
//   window_probe shortcut LINK     prints what the shortcut LINK (.lnk)
//                                  holds: its target, its arguments, its
//                                  working folder and its icon (FILE,INDEX),
//                                  a line each
//   window_probe icon LOCATION     prints the width and height of the icon at
//                                  LOCATION (FILE,INDEX, a negative INDEX a
//                                  resource id, as DefaultIcon values name
//                                  icons); fails when there is none
// PROGRAM is the file name of the process that owns the window
// (rastelle.exe). The window is waited for up to ten seconds. The caption is
// printed as UTF-8, with a line feed written as \n and a backslash as \\;
// paths are printed as UTF-8 as they are. The probe is per-monitor aware
// itself, so it reads sizes in device pixels, whatever the viewer's
// awareness.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h.
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

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

void PrintUtf8(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                         nullptr, nullptr);
  std::string out(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), length, nullptr,
                      nullptr);
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fputc('\n', stdout);
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

// Starts the command line unparsed, as the shell starts a verb's command once
// it has put the file's path in, and returns its exit code once it ends.
int Run(const wchar_t* commandLine) {
  std::wstring line = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "window_probe: cannot start the command (error %lu)\n", GetLastError());
    return 1;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hProcess);
  return static_cast<int>(exitCode);
}

// What a shortcut holds, read through the shell's own reader.
int PrintShortcut(const wchar_t* path) {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  int status = 1;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(path, STGM_READ))) {
    wchar_t target[MAX_PATH] = {}, arguments[1024] = {}, folder[MAX_PATH] = {}, icon[MAX_PATH] = {};
    int iconIndex = 0;
    if (SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
        SUCCEEDED(link->GetArguments(arguments, 1024)) &&
        SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH)) &&
        SUCCEEDED(link->GetIconLocation(icon, MAX_PATH, &iconIndex))) {
      PrintUtf8(target);
      PrintUtf8(arguments);
      PrintUtf8(folder);
      PrintUtf8(std::wstring(icon) + L"," + std::to_wstring(iconIndex));
      status = 0;
    }
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  CoUninitialize();
  if (status != 0) std::fputs("window_probe: cannot read the shortcut\n", stderr);
  return status;
}

// The size of the large icon at a location, as the shell extracts it.
int PrintIconSize(const wchar_t* location) {
  wchar_t file[MAX_PATH] = {};
  lstrcpynW(file, location, MAX_PATH);
  const int index = PathParseIconLocationW(file);
  HICON icon = nullptr;
  if (ExtractIconExW(file, index, &icon, nullptr, 1) == 0 || icon == nullptr) {
    std::fputs("window_probe: no icon there\n", stderr);
    return 1;
  }
  ICONINFO info{};
  BITMAP bitmap{};
  bool measured = GetIconInfo(icon, &info) != 0;
  // Without a colour bitmap the mask holds the AND and the XOR masks one
  // above the other.
  const bool colour = measured && info.hbmColor != nullptr;
  measured = measured && GetObjectW(colour ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap) != 0;
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
  DestroyIcon(icon);
  if (!measured) return 1;
  std::printf("%ld %ld\n", bitmap.bmWidth, colour ? bitmap.bmHeight : bitmap.bmHeight / 2);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs(
        "usage: window_probe caption|client|close PROGRAM | run COMMAND_LINE | shortcut LINK | "
        "icon LOCATION\n",
        stderr);
    return 2;
  }
  _setmode(_fileno(stdout), _O_BINARY);  // line feeds as they are
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  const std::wstring command = argv[1];
  if (command == L"run") return Run(argv[2]);
  if (command == L"shortcut") return PrintShortcut(argv[2]);
  if (command == L"icon") return PrintIconSize(argv[2]);
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
