// The window part of the layer, as the viewer calls it: its dialog window and
// message loop, window text and icon, painting, and the files dropped onto it.
// Names, argument orders, types and constants are those of the Win32 API, so
// code written against this header builds unchanged against windows.h.
#pragma once

#include "gdi.h"

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HICON__;
using HICON = HICON__*;
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

// An integer resource id travels as a pointer value below 0x10000.
#define MAKEINTRESOURCEA(i) (reinterpret_cast<LPSTR>(static_cast<UINT_PTR>(static_cast<WORD>(i))))

// The messages the viewer handles.
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_DROPFILES = 0x0233;

constexpr WPARAM ICON_SMALL = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int GWLP_HINSTANCE = -6;
constexpr UINT MB_OK = 0x00000000;

// The process's entry function, which the platform's entry calls with the
// command line less the program's name.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

// The program's module: null names the program itself, whose resources are
// the ones compiled from the resource script.
HMODULE GetModuleHandleA(LPCSTR name);

// Creates a modeless dialog from an extended dialog template: style, extended
// style, size in dialog units, title and font all come from the template. It
// starts invisible unless the template says WS_VISIBLE. WM_SETFONT (with
// DS_SETFONT) and WM_INITDIALOG go to the dialog procedure before it returns.
// A procedure that returns 0 for a message leaves it to the default handling.
// Null when the template is missing or no display can be opened.
HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND parent, DLGPROC procedure,
                        LPARAM initParam);

// Shows the window; a change sends WM_SHOWWINDOW first. Returns whether it
// was visible before.
BOOL ShowWindow(HWND window, int command);

// Destroys the window; its handle stays harmless.
BOOL DestroyWindow(HWND window);

// The message queue of the one GUI thread: posted messages first, then WM_QUIT
// once posted (the result is then 0), then WM_PAINT for a shown window with a
// marked area that the window system can show. -1 when no message can ever
// arrive.
BOOL GetMessageA(LPMSG message, HWND window, UINT first, UINT last);
void PostQuitMessage(int exitCode);

// The dialog's keyboard messages would be handled here; the window takes no
// keys (Esc and Enter do nothing), so every message is left to
// DispatchMessageA: the result is 0.
BOOL IsDialogMessageA(HWND dialog, LPMSG message);
// Would post the character message of a key message; there are none: 0.
BOOL TranslateMessage(const MSG* message);
LRESULT DispatchMessageA(const MSG* message);
// Sends at once: the dialog procedure, then the default handling if it
// returned 0.
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// GWLP_HINSTANCE: the module that created the window.
LONG_PTR GetWindowLongPtrA(HWND window, int index);

// The shared handle of an icon group; repeated loads give the same handle.
HICON LoadIconA(HINSTANCE instance, LPCSTR name);

// The caption: code page 932 bytes, shown as their UTF-8. SetWindowTextA
// sends WM_SETTEXT to the window, whose default handling stores the bytes.
BOOL SetWindowTextA(HWND window, LPCSTR text);

// Marks the whole client area for repainting (the rectangle is not
// narrowed), erasing first when erase is TRUE.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
// Runs the WM_PAINT handling at once, before it returns, when the window is
// visible and anything is marked.
BOOL UpdateWindow(HWND window);
BOOL GetClientRect(HWND window, LPRECT rect);

// The paint context draws on the pixels the window shows next, with the
// defaults: the stock white brush, a black one-pixel pen, black text on
// opaque white in the stock font. What a paint does not draw over holds
// whatever those pixels last held: a paint covers the client area. BeginPaint
// sends WM_ERASEBKGND when erasing was asked for and clears the marks;
// EndPaint shows the pixels in the window.
HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

// SHELL32: the files of one drop, in the order the desktop gave them.
// 0xFFFFFFFF as the index asks for their count; a null buffer for the length
// of one path. A path is copied NUL-terminated and cut to size - 1 bytes; the
// result is the number of bytes copied. DragFinish releases the drop.
UINT DragQueryFileA(HDROP drop, UINT index, LPSTR path, UINT size);
void DragFinish(HDROP drop);
