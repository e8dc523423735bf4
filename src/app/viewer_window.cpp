// The viewer window: shows the loaded image fitted to the client area with
// the zoom as the caption, or a prompt while there is none; loads dropped
// files; repaints at once on every resize.
#include "viewer_window.h"

#include <cstdio>

#include "../loader/bitmap_loader.h"
#include "../res/resource.h"
#include "../trace.h"
#include "texts.h"

char textBuffer[1024];

namespace {

constexpr COLORREF kWhite = 0x00FFFFFF;

void SetCaption(HWND window, const char* caption) { SetWindowTextA(window, caption); }

// A product of an image side and the zoom, truncated toward zero to a signed
// 64-bit integer of which the low 32 bits count; not a number, or a value
// outside the 64-bit range, gives 0.
std::int32_t TruncateToPixels(double value) {
  if (!(value >= -9223372036854775808.0 && value < 9223372036854775808.0)) return 0;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::int64_t>(value)));
}

// Half of a - b in signed 32-bit arithmetic, the difference wrapping.
std::int32_t HalfDifference(std::int32_t a, std::int32_t b) {
  const auto difference =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
  return difference / 2;
}

// The icon in the caption bar and the title caption.
void OnShowWindow(HWND window) {
  const auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
  HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VIEWER));
  SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
  std::snprintf(textBuffer, sizeof textBuffer, kTitleFormat, kProductName, kVersion);
  SetCaption(window, textBuffer);
}

void RepaintNow(HWND window) {
  InvalidateRect(window, nullptr, TRUE);
  UpdateWindow(window);
}

void OnSize(HWND window) { RepaintNow(window); }

// Loads the first file of a drop in place of the image shown so far, which is
// released first, so it is gone whether or not the new one loads. A path too
// long for the buffer would arrive cut, naming another file or none: it fails
// as a file that does not open does.
void OnDropFiles(HWND window, HDROP drop) {
  const bool fits = DragQueryFileA(drop, 0, nullptr, 0) < sizeof textBuffer;
  DragQueryFileA(drop, 0, textBuffer, sizeof textBuffer);
  DragFinish(drop);
  TracePrint(kTraceDroppedPath, textBuffer);
  if (CurrentImage.surfaceDc != nullptr) {
    DeleteDC(CurrentImage.surfaceDc);
    DeleteObject(CurrentImage.surfaceBitmap);
    CurrentImage.surfaceDc = nullptr;
  }
  if (!fits || LoadBitmapFile(textBuffer) != 0) SetCaption(window, kErrorCaption);
  RepaintNow(window);
}

// White, with a black frame one pixel wide along the outermost columns and rows.
void PaintBackground(HDC dc, std::int32_t width, std::int32_t height) {
  HBRUSH white = CreateSolidBrush(kWhite);
  HGDIOBJ previous = SelectObject(dc, white);
  Rectangle(dc, 0, 0, width, height);
  SelectObject(dc, previous);
  DeleteObject(white);
}

// The image fitted and centred, with the zoom in per cent as the caption.
void PaintImage(HWND window, HDC dc, std::int32_t width, std::int32_t height) {
  const Fit fit = FitToClient(width, height, static_cast<std::uint32_t>(CurrentImage.width),
                              static_cast<std::uint32_t>(CurrentImage.height));
  std::snprintf(textBuffer, sizeof textBuffer, kZoomFormat, fit.zoom * 100);
  SetCaption(window, textBuffer);
  StretchBlt(dc, fit.x, fit.y, fit.dw, fit.dh, CurrentImage.surfaceDc, 0, 0, CurrentImage.width,
             CurrentImage.height, SRCCOPY);
}

void PaintPrompt(HDC dc) { TextOutA(dc, 10, 10, kPrompt, kPromptLength); }

// The image while there is one, otherwise the prompt.
void PaintContent(HWND window, HDC dc, std::int32_t width, std::int32_t height) {
  if (CurrentImage.surfaceDc != nullptr) {
    PaintImage(window, dc, width, height);
  } else {
    PaintPrompt(dc);
  }
}

void OnPaint(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  const std::int32_t width = client.right - client.left;
  const std::int32_t height = client.bottom - client.top;
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  PaintBackground(dc, width, height);
  PaintContent(window, dc, width, height);
  EndPaint(window, &paint);
}

void OnClose(HWND window) {
  DestroyWindow(window);
  PostQuitMessage(0);
}

}  // namespace

Fit FitToClient(std::int32_t clientWidth, std::int32_t clientHeight, std::uint32_t width,
                std::uint32_t height) {
  const double widthRatio = static_cast<double>(clientWidth) / static_cast<double>(width);
  const double heightRatio = static_cast<double>(clientHeight) / static_cast<double>(height);
  // Equal ratios take the width ratio; a ratio that is not a number, the height ratio.
  const double zoom = heightRatio >= widthRatio ? widthRatio : heightRatio;
  Fit fit{};
  fit.zoom = zoom;
  fit.dh = TruncateToPixels(static_cast<double>(height) * zoom);
  fit.dw = TruncateToPixels(static_cast<double>(width) * zoom);
  fit.x = HalfDifference(clientWidth, fit.dw);
  fit.y = HalfDifference(clientHeight, fit.dh);
  return fit;
}

INT_PTR CALLBACK ViewerDlgProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_SIZE:
      OnSize(window);
      return 0;
    case WM_PAINT:
      OnPaint(window);
      return 0;
    case WM_CLOSE:
      OnClose(window);
      return 0;
    case WM_ERASEBKGND:
      // Painting covers the whole client area; nothing is erased.
      return 1;
    case WM_SHOWWINDOW:
      OnShowWindow(window);
      return 0;
    case WM_DROPFILES:
      OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
      return 0;
    default:
      return 0;
  }
}
