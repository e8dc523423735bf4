// The viewer's texts are code page 932 byte strings handed to the ANSI calls.
// Windows reads such bytes in the system's ANSI code page, which garbles the
// Japanese texts wherever that page is not 932. The three calls that show a
// text therefore go through stand-ins that convert the bytes from code page
// 932 to UTF-16 and call the wide function instead, and the dialog that
// shows them is a wide window.
#pragma once

#include <windows.h>

#include <string>

inline constexpr UINT kViewerCodePage = 932;

// The UTF-16 form of the first bytes of text (all of it up to its NUL for
// -1). False when the conversion fails; the caller then shows the bytes as
// they are.
inline bool WideFromCp932(const char* text, int bytes, std::wstring& wide) {
  wide.clear();
  if (bytes == 0 || (bytes < 0 && text[0] == '\0')) return true;
  const int units = MultiByteToWideChar(kViewerCodePage, 0, text, bytes, nullptr, 0);
  if (units <= 0) return false;
  wide.resize(static_cast<std::size_t>(units));
  if (MultiByteToWideChar(kViewerCodePage, 0, text, bytes, wide.data(), units) != units) return false;
  if (bytes < 0) wide.pop_back();  // the converted NUL
  return true;
}

inline BOOL SetWindowTextCp932(HWND window, LPCSTR text) {
  std::wstring wide;
  if (text == nullptr || !WideFromCp932(text, -1, wide)) return SetWindowTextA(window, text);
  return SetWindowTextW(window, wide.c_str());
}

inline BOOL TextOutCp932(HDC dc, int x, int y, LPCSTR text, int bytes) {
  std::wstring wide;
  if (text == nullptr || bytes < 0 || !WideFromCp932(text, bytes, wide))
    return TextOutA(dc, x, y, text, bytes);
  return TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

inline int MessageBoxCp932(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  std::wstring wideText;
  std::wstring wideCaption;
  if (text == nullptr || !WideFromCp932(text, -1, wideText) ||
      (caption != nullptr && !WideFromCp932(caption, -1, wideCaption))) {
    return MessageBoxA(owner, text, caption, type);
  }
  return MessageBoxW(owner, wideText.c_str(), caption == nullptr ? nullptr : wideCaption.c_str(), type);
}

// A window made by the ANSI dialog function hands its text through the ANSI
// code page as well, so a UTF-16 caption set on it reads back as question
// marks. The dialog is made by the wide function instead, from the same
// template; its procedure takes no text from its messages and sees no other
// difference.
inline HWND CreateDialogParamCp932(HINSTANCE instance, LPCSTR templateName, HWND owner, DLGPROC procedure,
                                   LPARAM initialValue) {
  std::wstring wideName;
  if (IS_INTRESOURCE(templateName)) {
    return CreateDialogParamW(instance, MAKEINTRESOURCEW(LOWORD(reinterpret_cast<ULONG_PTR>(templateName))),
                              owner, procedure, initialValue);
  }
  if (!WideFromCp932(templateName, -1, wideName)) {
    return CreateDialogParamA(instance, templateName, owner, procedure, initialValue);
  }
  return CreateDialogParamW(instance, wideName.c_str(), owner, procedure, initialValue);
}

// Code that includes the platform header calls the stand-ins under the names
// it knows.
#define CreateDialogParamA CreateDialogParamCp932
#define SetWindowTextA SetWindowTextCp932
#define TextOutA TextOutCp932
#define MessageBoxA MessageBoxCp932
