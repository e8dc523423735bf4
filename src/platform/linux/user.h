// The window part of the layer: module resources, the dialog window, the
// message queue, window text and icons, painting and dropped files. Names,
// argument orders, types and constants are those of the Win32 API, so code
// written against this header builds unchanged against windows.h.
#pragma once

#include "gdi.h"

using WCHAR = char16_t;
using LPVOID = void*;
using HGLOBAL = void*;
using ULONG_PTR = std::uintptr_t;

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HICON__;
using HICON = HICON__*;
struct HRSRC__;
using HRSRC = HRSRC__*;
struct HDROP__;
using HDROP = HDROP__*;

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
using LPRECT = RECT*;

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
using LPMSG = MSG*;

struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
using LPPAINTSTRUCT = PAINTSTRUCT*;

using DLGPROC = INT_PTR(CALLBACK*)(HWND, UINT, WPARAM, LPARAM);

#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<ULONG_PTR>(static_cast<WORD>(i))))
#define RT_ICON MAKEINTRESOURCEA(3)
#define RT_DIALOG MAKEINTRESOURCEA(5)
#define RT_GROUP_ICON MAKEINTRESOURCEA(14)
#define MAKELPARAM(low, high) \
  (static_cast<LPARAM>(       \
      static_cast<DWORD>((static_cast<WORD>(low)) | (static_cast<DWORD>(static_cast<WORD>(high))) << 16)))
#define LOWORD(l) (static_cast<WORD>(static_cast<ULONG_PTR>(l) & 0xFFFF))
#define HIWORD(l) (static_cast<WORD>((static_cast<ULONG_PTR>(l) >> 16) & 0xFFFF))

// Messages.
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETICON = 0x007F;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_DROPFILES = 0x0233;

// WM_SIZE kinds, WM_SETICON sizes, commands, keys.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MAXIMIZED = 2;
constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_F1 = 0x70;
constexpr int VK_F4 = 0x73;

// Window and dialog styles, as a dialog template states them.
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD DS_SETFONT = 0x00000040;
constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;
constexpr int GWLP_HINSTANCE = -6;
constexpr UINT MB_OK = 0x00000000;
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;

// The process's entry function, which the platform's entry calls with the
// command line less the program's name.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

// The program's module: null names the program itself. Its resources are the
// ones compiled from the resource script.
HMODULE GetModuleHandleA(LPCSTR name);

// Resources of a module, by integer id (MAKEINTRESOURCEA) and type (RT_...).
HRSRC FindResourceA(HMODULE module, LPCSTR name, LPCSTR type);
HRSRC FindResourceExA(HMODULE module, LPCSTR type, LPCSTR name, WORD language);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
LPVOID LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);

// Creates a modeless dialog from an extended dialog template: style, extended
// style, size in dialog units, title and font all come from the template. It
// starts invisible unless the template says WS_VISIBLE. WM_SETFONT (with
// DS_SETFONT) and WM_INITDIALOG go to the dialog procedure before it returns.
// A procedure that returns 0 for a message leaves it to the default handling.
HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC procedure,
                        LPARAM initParam);

// Shows or hides the window; a change sends WM_SHOWWINDOW first. Returns
// whether it was visible before.
BOOL ShowWindow(HWND window, int command);
BOOL IsWindowVisible(HWND window);
BOOL IsWindow(HWND window);

// Destroys the window (WM_DESTROY, WM_NCDESTROY); its handle stays harmless.
BOOL DestroyWindow(HWND window);

// The message queue of the one GUI thread: posted messages first, then WM_QUIT
// once posted, then WM_PAINT for a visible window with a marked area.
BOOL GetMessageA(LPMSG message, HWND window, UINT first, UINT last);
BOOL PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);

// Handles the dialog's keyboard messages itself (Esc sends WM_COMMAND IDCANCEL,
// Enter WM_COMMAND IDOK) and returns nonzero; 0 for every other message.
BOOL IsDialogMessageA(HWND dialog, LPMSG message);
// Posts WM_CHAR for a WM_KEYDOWN of a key that types a character.
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
// Sends at once: the dialog procedure, then the default handling if it
// returned 0.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

LONG_PTR GetWindowLongPtrA(HWND window, int index);

// The shared handle of an icon group; repeated loads give the same handle.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);

// The caption: code page 932 bytes, shown as their UTF-8. SetWindowTextA
// sends WM_SETTEXT to the window, whose default handling stores the bytes.
BOOL SetWindowTextA(HWND window, LPCSTR text);
int GetWindowTextA(HWND window, LPSTR text, int size);

// Marks the whole client area for repainting (the rectangle is not
// narrowed), erasing first when erase is TRUE.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
// Runs the WM_PAINT handling at once, before it returns, when the window is
// visible and anything is marked.
BOOL UpdateWindow(HWND window);
BOOL GetClientRect(HWND window, LPRECT rect);

// The paint context draws on the client area's raster, with the defaults: the
// stock white brush, a black one-pixel pen, black text on opaque white in the
// stock font. BeginPaint sends WM_ERASEBKGND when erasing was asked for and
// clears the marks; EndPaint shows the raster in the window.
HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// SHELL32: the files of one drop, in the order the desktop gave them.
// 0xFFFFFFFF as the index asks for their count; a null buffer for the length
// of one path. A path is copied NUL-terminated and cut to size - 1 bytes; the
// result is the number of bytes copied.
UINT DragQueryFileA(HDROP drop, UINT index, LPSTR path, UINT size);
void DragFinish(HDROP drop);
