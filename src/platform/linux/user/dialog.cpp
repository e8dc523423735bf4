// The dialog window: made from its template by the window system, shown, and
// destroyed.
#include "../gdi/code_page.h"
#include "desktop_title.h"
#include "dialog_template.h"
#include "display.h"
#include "layer_messages.h"
#include "paint_cycle.h"
#include "resources.h"
#include "window_events.h"
#include "window_record.h"

namespace {

int MulDiv(int number, int numerator, int denominator) {
  const long long product = static_cast<long long>(number) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>((product >= 0 ? product + half : product - half) / denominator);
}

// What the window system makes of a template: its place and client size in
// pixels at 96 dots per inch, the frame its style asks for, whether it takes
// drops.
WindowRequest RequestOf(const DialogTemplate& dialog, const std::string& title) {
  const DialogUnits units = DialogUnitsForFont((dialog.style & DS_SETFONT) != 0 ? dialog.pointSize : 0);
  WindowRequest asked;
  asked.title = DesktopTitle(title);
  asked.x = MulDiv(dialog.x, units.baseX, 4);
  asked.y = MulDiv(dialog.y, units.baseY, 8);
  asked.width = MulDiv(dialog.cx, units.baseX, 4);
  asked.height = MulDiv(dialog.cy, units.baseY, 8);
  asked.style = dialog.style;
  asked.acceptsFiles = (dialog.exStyle & WS_EX_ACCEPTFILES) != 0;
  return asked;
}

}  // namespace

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND, DLGPROC procedure, LPARAM initParam) {
  const std::optional<WORD> id = IntegerResourceId(templateName);
  const std::optional<Bytes> bytes = id ? FindEmbeddedResource(RT_DIALOG, *id) : std::nullopt;
  DialogTemplate dialog;
  WindowSystem* system = TheWindowSystem();
  if (!bytes || !ParseDialogTemplate(*bytes, dialog) || system == nullptr) return nullptr;

  auto* window = new HWND__;
  window->text = Cp932FromUtf16(dialog.title);
  window->procedure = procedure;
  window->instance = instance;
  window->style = dialog.style;
  window->exStyle = dialog.exStyle;
  if (!system->MakeWindow(window, RequestOf(dialog, window->text))) {
    delete window;
    return nullptr;
  }
  window->made = true;
  RegisterWindow(window);

  if ((dialog.style & DS_SETFONT) != 0) SendMessageA(window, WM_SETFONT, 0, FALSE);
  SendMessageA(window, WM_INITDIALOG, 0, initParam);
  if (IsLive(window) && (dialog.style & WS_VISIBLE) != 0) ShowWindow(window, SW_SHOWNORMAL);
  return window;
}

BOOL ShowWindow(HWND window, int command) {
  if (!IsLive(window)) return FALSE;
  const bool wasVisible = window->visible;
  const bool show = command != SW_HIDE;
  if (show == wasVisible) return wasVisible;
  SendMessageA(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  if (!IsLive(window)) return wasVisible;
  window->visible = show;
  window->canPaint = window->presented = false;
  // Painted once the window system says a paint reaches the screen.
  if (show) MarkForRepaint(window);
  TheWindowSystem()->ShowWindow(window, show);
  return wasVisible;
}

BOOL DestroyWindow(HWND window) {
  if (!IsLive(window)) return FALSE;
  window->destroyed = true;
  window->pixels = WindowPixels{};
  TheWindowSystem()->DestroyWindow(window);
  return TRUE;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  if (!IsLive(window) || index != GWLP_HINSTANCE) return 0;
  return reinterpret_cast<LONG_PTR>(window->instance);
}
