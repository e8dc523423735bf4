// Messages, commands and styles that pass between the parts of the window
// layer (and that its tests look at), at their Win32 values. The viewer itself
// never names them.
#pragma once

#include "../user.h"

constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;

// WM_SIZE kinds; the size itself in lParam, width low and height high.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr LPARAM SizeParam(int width, int height) {
  return static_cast<LPARAM>(static_cast<DWORD>(static_cast<WORD>(width)) |
                             static_cast<DWORD>(static_cast<WORD>(height)) << 16);
}

constexpr WPARAM ICON_BIG = 1;

// The dialog's commands: its close box cancels it; a dismissed message box
// counts as its OK.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

constexpr int SW_HIDE = 0;

// Window and dialog styles, as a dialog template states them.
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD DS_SETFONT = 0x00000040;
constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;

// Resource types.
constexpr WORD RT_ICON = 3;
constexpr WORD RT_DIALOG = 5;
constexpr WORD RT_GROUP_ICON = 14;
