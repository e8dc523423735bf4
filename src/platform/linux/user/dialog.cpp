// The dialog window: made from its template as an SDL window, shown, and
// destroyed.
#include "../../memory.h"
#include "../gdi/code_page.h"
#include "dialog_template.h"
#include "display_scale.h"
#include "framebuffer.h"
#include "layer_messages.h"
#include "paint_cycle.h"
#include "resources.h"
#include "video.h"
#include "window_manager.h"
#include "window_record.h"

namespace {

int MulDiv(int number, int numerator, int denominator) {
  const long long product = static_cast<long long>(number) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>((product >= 0 ? product + half : product - half) / denominator);
}

// The SDL window of a template, hidden, with the frame its style asks for; it
// takes drops only if the template accepts files.
SDL_Window* CreateSdlWindow(const DialogTemplate& dialog, const std::string& title) {
  const DialogUnits units = DialogUnitsForFont((dialog.style & DS_SETFONT) != 0 ? dialog.pointSize : 0);
  // Where the compositor scales windows (Wayland), the surface has the
  // output's device pixels, and the window its size in points.
  Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
  if ((dialog.style & WS_THICKFRAME) != 0) flags |= SDL_WINDOW_RESIZABLE;
  if ((dialog.style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
  const int accept = (dialog.exStyle & WS_EX_ACCEPTFILES) != 0 ? SDL_ENABLE : SDL_DISABLE;
  for (Uint32 type : {SDL_DROPBEGIN, SDL_DROPFILE, SDL_DROPCOMPLETE}) SDL_EventState(type, accept);
  SDL_Window* window = SDL_CreateWindow(DesktopTitle(title).c_str(), MulDiv(dialog.x, units.baseX, 4),
                                        MulDiv(dialog.y, units.baseY, 8), MulDiv(dialog.cx, units.baseX, 4),
                                        MulDiv(dialog.cy, units.baseY, 8), flags);
  // Window managers read the hints when the window is first shown.
  HandFrameHints(window, dialog.style);
  return window;
}

}  // namespace

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND, DLGPROC procedure, LPARAM initParam) {
  const std::optional<WORD> id = IntegerResourceId(templateName);
  const std::optional<Bytes> bytes = id ? FindEmbeddedResource(RT_DIALOG, *id) : std::nullopt;
  DialogTemplate dialog;
  if (!bytes || !ParseDialogTemplate(*bytes, dialog) || !StartVideo()) return nullptr;

  auto* window = new HWND__;
  window->text = Cp932FromUtf16(dialog.title);
  window->sdl = CreateSdlWindow(dialog, window->text);
  if (window->sdl == nullptr) {
    CannotShowWindow(std::string("cannot make the window: ") + SDL_GetError());
    delete window;
    return nullptr;
  }
  ScaleNewWindow(window);
  window->sdlId = SDL_GetWindowID(window->sdl);
  window->procedure = procedure;
  window->instance = instance;
  window->style = dialog.style;
  window->exStyle = dialog.exStyle;
  FollowClientSize(window);
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
  if (show) {
    SDL_ShowWindow(window->sdl);
    SDL_RaiseWindow(window->sdl);
    FollowClientSize(window);
    MarkForRepaint(window);
  } else {
    SDL_HideWindow(window->sdl);
  }
  return wasVisible;
}

BOOL DestroyWindow(HWND window) {
  if (!IsLive(window)) return FALSE;
  window->destroyed = true;
  StopPresenting(window);
  SDL_DestroyWindow(window->sdl);
  window->sdl = nullptr;
  ReleaseClientRaster(window);
  return TRUE;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  if (!IsLive(window) || index != GWLP_HINSTANCE) return 0;
  return reinterpret_cast<LONG_PTR>(window->instance);
}
