// Text in the paint context's default font at the DPI of the window's
// monitor. The program is per-monitor DPI aware (its manifest), so the system
// lays the dialog out and stretches nothing; but the default font is the
// stock system font, made once for the system's DPI, and Wine scales only its
// height, keeping the width it has at 96 dpi, which squeezes the glyphs. Away
// from 96 dpi the text is drawn in that font's face at its height scaled from
// the system's DPI to the window's, the width left to the font mapper so the
// glyphs keep their shape. At 96 dpi everywhere the stock font draws as ever.
#pragma once

#include <windows.h>

#include "cp932_text.h"

// The window's DPI, or fallback on systems before Windows 10 version 1607,
// which have no GetDpiForWindow and run the program system aware.
inline UINT WindowDpi(HWND window, UINT fallback) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  const UINT dpi = getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
  return dpi != 0 ? dpi : fallback;
}

// Selects the scaled font into a window's paint context while it lives, where
// the context holds the default font and the DPIs call for it.
class MonitorDpiFont {
 public:
  explicit MonitorDpiFont(HDC dc) : dc_(dc) {
    HGDIOBJ stock = GetStockObject(SYSTEM_FONT);
    HWND window = WindowFromDC(dc);
    if (window == nullptr || GetCurrentObject(dc, OBJ_FONT) != stock) return;
    const UINT systemDpi = static_cast<UINT>(GetDeviceCaps(dc, LOGPIXELSY));
    const UINT windowDpi = WindowDpi(window, systemDpi);
    if (systemDpi == USER_DEFAULT_SCREEN_DPI && windowDpi == USER_DEFAULT_SCREEN_DPI) return;
    LOGFONTW font{};
    if (GetObjectW(stock, sizeof font, &font) != sizeof font || systemDpi == 0) return;
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(windowDpi), static_cast<int>(systemDpi));
    font.lfWidth = 0;
    font_ = CreateFontIndirectW(&font);
    if (font_ != nullptr) previous_ = SelectObject(dc, font_);
  }
  ~MonitorDpiFont() {
    if (font_ == nullptr) return;
    SelectObject(dc_, previous_);
    DeleteObject(font_);
  }
  MonitorDpiFont(const MonitorDpiFont&) = delete;
  MonitorDpiFont& operator=(const MonitorDpiFont&) = delete;

 private:
  HDC dc_;
  HFONT font_ = nullptr;
  HGDIOBJ previous_ = nullptr;
};

// TextOutA as the viewer calls it: the code page 932 stand-in, at the
// monitor's DPI.
inline BOOL TextOutAtMonitorDpi(HDC dc, int x, int y, LPCSTR text, int bytes) {
  const MonitorDpiFont font(dc);
  return TextOutCp932(dc, x, y, text, bytes);
}

#undef TextOutA
#define TextOutA TextOutAtMonitorDpi
