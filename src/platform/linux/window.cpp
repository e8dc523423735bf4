// Windows and messages on SDL: the dialog window built from its template, the
// one thread's message queue fed by SDL's events, sent messages with the
// dialog's default handling, window text and icons, and the paint cycle over
// a raster of our own that EndPaint shows in the window.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>

#include "code_page.h"
#include "window_state.h"

namespace {

constexpr COLORREF kDialogFace = 0x00F0F0F0;

// Every window ever created. A destroyed window stays here, marked, so that a
// stale handle is recognised instead of followed. Like the queue, it lives as
// long as the process: nothing is released on the way out.
std::vector<HWND>& windows = *new std::vector<HWND>;

std::deque<MSG>& posted = *new std::deque<MSG>;
bool quitPosted = false;
int quitCode = 0;

// The files of a drop being collected between SDL_DROPBEGIN and
// SDL_DROPCOMPLETE, and the SDL window it is for.
HDROP pendingDrop = nullptr;
Uint32 pendingDropWindow = 0;

bool Alive(HWND window) {
  return window != nullptr && !window->destroyed &&
         std::find(windows.begin(), windows.end(), window) != windows.end();
}

HWND FromSdlId(Uint32 id) {
  for (HWND window : windows) {
    if (!window->destroyed && window->sdlId == id) return window;
  }
  return nullptr;
}

int MulDiv(int number, int numerator, int denominator) {
  const long long product = static_cast<long long>(number) * numerator;
  const long long half = denominator / 2;
  return static_cast<int>((product >= 0 ? product + half : product - half) / denominator);
}

void AttachClientRaster(HDC dc, HWND window) {
  if (!Alive(window)) return;
  dc->pixels = window->client.data();
  dc->width = static_cast<std::size_t>(window->clientWidth);
  dc->height = static_cast<std::size_t>(window->clientHeight);
}

bool EnsureVideo() {
  attachClientRaster = AttachClientRaster;
  if (SDL_WasInit(SDL_INIT_VIDEO) != 0) return true;
  // Signals end the process as they would any other; they are no messages.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // The client area is our own raster, copied to the window surface as it is;
  // an accelerated window surface would run a software renderer behind it,
  // which costs memory and time on every present and gains nothing here.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  // SDL falls back to drawing off screen when there is no display; a window
  // nobody can see or close would keep the process waiting for ever.
  if (std::strcmp(SDL_GetCurrentVideoDriver(), "offscreen") == 0) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  return true;
}

// Sizes the client raster to the window's pixels; a new raster starts white.
void FollowWindowSize(HWND window) {
  int width = 0, height = 0;
  SDL_GetWindowSizeInPixels(window->sdl, &width, &height);
  if (width == window->clientWidth && height == window->clientHeight) return;
  window->clientWidth = width;
  window->clientHeight = height;
  window->client.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0x00FFFFFF);
}

void MarkAll(HWND window) {
  window->marked = true;
  window->erase = true;
}

// Backs the window surface's pixels with memory in one call. After every
// resize the toolkit hands out a new, untouched surface, and faulting its
// pages in one at a time while copying costs about twice as long on virtual
// machines. Pages already there cost next to nothing; a kernel without the
// call leaves the copy to fault them in as before.
void PrepareSurface(const SDL_Surface& surface) {
#ifdef MADV_POPULATE_WRITE
  static const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(surface.pixels);
  const auto last =
      first + static_cast<std::uintptr_t>(surface.pitch) * static_cast<std::uintptr_t>(surface.h);
  const std::uintptr_t begin = first & ~(page - 1);
  const std::uintptr_t end = (last + page - 1) & ~(page - 1);
  if (surface.pixels != nullptr && end > begin) {
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
  }
#else
  static_cast<void>(surface);
#endif
}

// Shows the client raster in the window.
void Present(HWND window) {
  SDL_Surface* surface = SDL_GetWindowSurface(window->sdl);
  if (surface == nullptr) return;
  PrepareSurface(*surface);
  const int width = std::min(surface->w, window->clientWidth);
  const int height = std::min(surface->h, window->clientHeight);
  if (width > 0 && height > 0) {
    SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_XBGR8888, window->client.data(), window->clientWidth * 4,
                      surface->format->format, surface->pixels, surface->pitch);
  }
  SDL_UpdateWindowSurface(window->sdl);
}

// The desktop shows one icon: the small icon's 16 x 16 image, or the big
// icon's 32 x 32 one while no small icon is set.
void ShowIcon(HWND window) {
  const IconImage* image = window->smallIcon != nullptr ? IconImageForSize(window->smallIcon, 16)
                                                        : IconImageForSize(window->bigIcon, 32);
  window->shownIcon = image;
  if (image == nullptr) return;
  SDL_Surface* surface =
      SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(image->argb.data()), image->width,
                                         image->height, 32, image->width * 4, SDL_PIXELFORMAT_ARGB8888);
  if (surface == nullptr) return;
  SDL_SetWindowIcon(window->sdl, surface);
  SDL_FreeSurface(surface);
}

// What the dialog manager does with a message its procedure left alone.
LRESULT DefaultHandling(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      if (window->marked) {
        PAINTSTRUCT paint{};
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
      }
      return 0;
    case WM_ERASEBKGND: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      if (dc == nullptr) return 0;
      std::fill(dc->pixels, dc->pixels + dc->width * dc->height, kDialogFace);
      return 1;
    }
    case WM_SETTEXT:
      window->text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      SDL_SetWindowTitle(window->sdl, Utf8FromCp932(window->text).c_str());
      return TRUE;
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) return 0;
      const std::size_t count = std::min<std::size_t>(window->text.size(), wParam - 1);
      auto* text = reinterpret_cast<char*>(lParam);
      std::memcpy(text, window->text.data(), count);
      text[count] = '\0';
      return static_cast<LRESULT>(count);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(window->text.size());
    case WM_SETICON: {
      HICON& slot = wParam == ICON_SMALL ? window->smallIcon : window->bigIcon;
      HICON previous = slot;
      slot = reinterpret_cast<HICON>(lParam);
      ShowIcon(window);
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_GETICON:
      return reinterpret_cast<LRESULT>(wParam == ICON_SMALL ? window->smallIcon : window->bigIcon);
    case WM_CLOSE:
      // A dialog's close box cancels it; a modeless one without a cancel
      // button does nothing more.
      SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4) SendMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    default:
      return 0;
  }
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  posted.push_back(MSG{window, message, wParam, lParam, SDL_GetTicks(), {0, 0}});
}

int VirtualKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
  if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
  if (key >= SDLK_F1 && key <= SDLK_F12) return VK_F1 + (key - SDLK_F1);
  switch (key) {
    case SDLK_ESCAPE:
      return VK_ESCAPE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return VK_RETURN;
    case SDLK_SPACE:
      return VK_SPACE;
    default:
      return 0;
  }
}

// The window a drop goes to: SDL's window, or the one window that accepts
// drops when SDL names none.
HWND DropTarget(Uint32 id) {
  if (HWND window = FromSdlId(id)) return window;
  for (HWND window : windows) {
    if (!window->destroyed && (window->exStyle & WS_EX_ACCEPTFILES) != 0) return window;
  }
  return nullptr;
}

void FinishDrop() {
  HWND window = DropTarget(pendingDropWindow);
  if (window != nullptr && (window->exStyle & WS_EX_ACCEPTFILES) != 0 && !pendingDrop->paths.empty()) {
    Post(window, WM_DROPFILES, reinterpret_cast<WPARAM>(pendingDrop), 0);
  } else {
    DragFinish(pendingDrop);
  }
  pendingDrop = nullptr;
}

// Turns one SDL event into the messages it stands for.
void Translate(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT: {
      HWND window = FromSdlId(event.window.windowID);
      if (window == nullptr) return;
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          Post(window, WM_CLOSE, 0, 0);
          break;
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
          FollowWindowSize(window);
          MarkAll(window);
          const bool maximized = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MAXIMIZED) != 0;
          Post(window, WM_SIZE, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
               MAKELPARAM(window->clientWidth, window->clientHeight));
          break;
        }
        case SDL_WINDOWEVENT_EXPOSED:
          MarkAll(window);
          break;
        default:
          break;
      }
      return;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
      HWND window = FromSdlId(event.key.windowID);
      const int key = VirtualKey(event.key.keysym.sym);
      if (window == nullptr || key == 0) return;
      const bool down = event.type == SDL_KEYDOWN;
      const bool alt = (event.key.keysym.mod & KMOD_ALT) != 0;
      const UINT message = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
      // Repeat count 1; bit 29 for Alt, bit 30 for a repeat or a release,
      // bit 31 for a release.
      LPARAM lParam = 1;
      if (alt) lParam |= LPARAM{1} << 29;
      if (event.key.repeat != 0 || !down) lParam |= LPARAM{1} << 30;
      if (!down) lParam |= LPARAM{1} << 31;
      Post(window, message, static_cast<WPARAM>(key), lParam);
      return;
    }
    case SDL_DROPBEGIN:
      if (pendingDrop != nullptr) FinishDrop();
      pendingDrop = new HDROP__;
      pendingDropWindow = event.drop.windowID;
      return;
    case SDL_DROPFILE:
      if (pendingDrop == nullptr) {
        pendingDrop = new HDROP__;
        pendingDropWindow = event.drop.windowID;
      }
      if (event.drop.file != nullptr) pendingDrop->paths.emplace_back(event.drop.file);
      SDL_free(event.drop.file);
      return;
    case SDL_DROPTEXT:
      SDL_free(event.drop.file);
      return;
    case SDL_DROPCOMPLETE:
      if (pendingDrop != nullptr) FinishDrop();
      return;
    default:
      return;
  }
}

void PumpEvents() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  for (SDL_Event event; SDL_PollEvent(&event) != 0;) Translate(event);
}

bool Matches(const MSG& message, HWND window, UINT first, UINT last) {
  if (window != nullptr && message.hwnd != window) return false;
  return (first == 0 && last == 0) || (message.message >= first && message.message <= last);
}

// The next message in the order of the queue: posted messages, then WM_QUIT,
// then WM_PAINT for a visible window with a marked area.
bool NextMessage(MSG& out, HWND window, UINT first, UINT last, bool remove) {
  PumpEvents();
  for (auto message = posted.begin(); message != posted.end(); ++message) {
    if (!Matches(*message, window, first, last)) continue;
    out = *message;
    if (remove) posted.erase(message);
    return true;
  }
  if (quitPosted && window == nullptr &&
      Matches(MSG{nullptr, WM_QUIT, 0, 0, 0, {0, 0}}, nullptr, first, last)) {
    out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0, SDL_GetTicks(), {0, 0}};
    if (remove) quitPosted = false;
    return true;
  }
  for (HWND candidate : windows) {
    if (candidate->destroyed || !candidate->visible || !candidate->marked) continue;
    MSG paint{candidate, WM_PAINT, 0, 0, SDL_GetTicks(), {0, 0}};
    if (!Matches(paint, window, first, last)) continue;
    out = paint;
    return true;
  }
  return false;
}

}  // namespace

HWND CreateDialogParamA(HINSTANCE instance, LPCSTR templateName, HWND, DLGPROC procedure, LPARAM initParam) {
  HRSRC resource = FindResourceA(instance, templateName, RT_DIALOG);
  if (resource == nullptr) return nullptr;
  DialogTemplate dialog;
  if (!ParseDialogTemplate(static_cast<const std::uint8_t*>(LockResource(LoadResource(instance, resource))),
                           SizeofResource(instance, resource), dialog)) {
    return nullptr;
  }
  if (!EnsureVideo()) return nullptr;

  const DialogUnits units = DialogUnitsForFont((dialog.style & DS_SETFONT) != 0 ? dialog.pointSize : 0);
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if ((dialog.style & WS_THICKFRAME) != 0) flags |= SDL_WINDOW_RESIZABLE;
  if ((dialog.style & WS_CAPTION) != WS_CAPTION) flags |= SDL_WINDOW_BORDERLESS;
  const int accept = (dialog.exStyle & WS_EX_ACCEPTFILES) != 0 ? SDL_ENABLE : SDL_DISABLE;
  for (Uint32 type : {SDL_DROPBEGIN, SDL_DROPFILE, SDL_DROPCOMPLETE}) SDL_EventState(type, accept);

  auto* window = new HWND__;
  window->text = Cp932FromUtf16(dialog.title);
  window->sdl = SDL_CreateWindow(Utf8FromCp932(window->text).c_str(), MulDiv(dialog.x, units.baseX, 4),
                                 MulDiv(dialog.y, units.baseY, 8), MulDiv(dialog.cx, units.baseX, 4),
                                 MulDiv(dialog.cy, units.baseY, 8), flags);
  if (window->sdl == nullptr) {
    delete window;
    return nullptr;
  }
  window->sdlId = SDL_GetWindowID(window->sdl);
  window->procedure = procedure;
  window->instance = instance;
  window->style = dialog.style;
  window->exStyle = dialog.exStyle;
  FollowWindowSize(window);
  windows.push_back(window);

  if ((dialog.style & DS_SETFONT) != 0) SendMessageA(window, WM_SETFONT, 0, FALSE);
  SendMessageA(window, WM_INITDIALOG, 0, initParam);
  if (Alive(window) && (dialog.style & WS_VISIBLE) != 0) ShowWindow(window, SW_SHOW);
  return window;
}

BOOL ShowWindow(HWND window, int command) {
  if (!Alive(window)) return FALSE;
  const bool wasVisible = window->visible;
  const bool show = command != SW_HIDE;
  if (show == wasVisible) return wasVisible;
  SendMessageA(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
  if (!Alive(window)) return wasVisible;
  window->visible = show;
  if (show) {
    SDL_ShowWindow(window->sdl);
    SDL_RaiseWindow(window->sdl);
    FollowWindowSize(window);
    MarkAll(window);
  } else {
    SDL_HideWindow(window->sdl);
  }
  return wasVisible;
}

BOOL IsWindowVisible(HWND window) { return Alive(window) && window->visible; }

BOOL IsWindow(HWND window) { return Alive(window); }

BOOL DestroyWindow(HWND window) {
  if (!Alive(window)) return FALSE;
  window->destroyed = true;
  if (window->procedure != nullptr) {
    window->procedure(window, WM_DESTROY, 0, 0);
    window->procedure(window, WM_NCDESTROY, 0, 0);
  }
  SDL_DestroyWindow(window->sdl);
  window->sdl = nullptr;
  window->client = {};
  window->clientWidth = window->clientHeight = 0;
  return TRUE;
}

BOOL GetMessageA(LPMSG message, HWND window, UINT first, UINT last) {
  if (message == nullptr) return -1;
  for (;;) {
    if (NextMessage(*message, window, first, last, true)) return message->message == WM_QUIT ? FALSE : TRUE;
    // Nothing can ever arrive without a window system.
    if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return -1;
    SDL_Event event;
    if (SDL_WaitEvent(&event) == 0) return -1;
    Translate(event);
  }
}

BOOL PeekMessageA(LPMSG message, HWND window, UINT first, UINT last, UINT remove) {
  if (message == nullptr) return FALSE;
  return NextMessage(*message, window, first, last, (remove & PM_REMOVE) != 0) ? TRUE : FALSE;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window != nullptr && !Alive(window)) return FALSE;
  Post(window, message, wParam, lParam);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  quitPosted = true;
  quitCode = exitCode;
}

BOOL IsDialogMessageA(HWND dialog, LPMSG message) {
  if (message == nullptr || !Alive(dialog) || message->hwnd != dialog) return FALSE;
  switch (message->message) {
    case WM_KEYDOWN:
      if (message->wParam == static_cast<WPARAM>(VK_ESCAPE)) SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      if (message->wParam == static_cast<WPARAM>(VK_RETURN)) SendMessageA(dialog, WM_COMMAND, IDOK, 0);
      return TRUE;
    case WM_KEYUP:
    case WM_CHAR:
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL TranslateMessage(const MSG* message) {
  if (message == nullptr || (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN))
    return FALSE;
  const WPARAM key = message->wParam;
  WPARAM character = 0;
  if (key >= 'A' && key <= 'Z') character = key - 'A' + 'a';
  if ((key >= '0' && key <= '9') || key == VK_SPACE || key == VK_RETURN || key == VK_ESCAPE) character = key;
  if (character == 0) return FALSE;
  const UINT charMessage = message->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
  posted.push_front(MSG{message->hwnd, charMessage, character, message->lParam, message->time, message->pt});
  return TRUE;
}

LRESULT DispatchMessageA(const MSG* message) {
  if (message == nullptr) return 0;
  if (!Alive(message->hwnd)) {
    if (message->message == WM_DROPFILES) DragFinish(reinterpret_cast<HDROP>(message->wParam));
    return 0;
  }
  return SendMessageA(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!Alive(window)) return 0;
  const INT_PTR handled =
      window->procedure != nullptr ? window->procedure(window, message, wParam, lParam) : 0;
  if (handled != 0) return handled;
  if (!Alive(window)) return 0;
  return DefaultHandling(window, message, wParam, lParam);
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
  const std::string body = Utf8FromCp932(text != nullptr ? text : "");
  const std::string title = Utf8FromCp932(caption != nullptr ? caption : "Error");
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), body.c_str(), nullptr) == 0 ? IDOK : 0;
}

LONG_PTR GetWindowLongPtrA(HWND window, int index) {
  if (!Alive(window) || index != GWLP_HINSTANCE) return 0;
  return reinterpret_cast<LONG_PTR>(window->instance);
}

BOOL SetWindowTextA(HWND window, LPCSTR text) {
  return SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) != 0 ? TRUE : FALSE;
}

int GetWindowTextA(HWND window, LPSTR text, int size) {
  if (text == nullptr || size <= 0) return 0;
  text[0] = '\0';
  return static_cast<int>(
      SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(text)));
}

BOOL InvalidateRect(HWND window, const RECT*, BOOL erase) {
  if (!Alive(window)) return FALSE;
  window->marked = true;
  if (erase) window->erase = true;
  return TRUE;
}

BOOL UpdateWindow(HWND window) {
  if (!Alive(window)) return FALSE;
  if (window->visible && window->marked) SendMessageA(window, WM_PAINT, 0, 0);
  return TRUE;
}

BOOL GetClientRect(HWND window, LPRECT rect) {
  if (!Alive(window) || rect == nullptr) return FALSE;
  *rect = RECT{0, 0, window->clientWidth, window->clientHeight};
  return TRUE;
}

HDC BeginPaint(HWND window, LPPAINTSTRUCT paint) {
  if (!Alive(window) || paint == nullptr) return nullptr;
  *paint = PAINTSTRUCT{};
  HDC dc = GetDC(window);
  if (dc == nullptr) return nullptr;
  paint->hdc = dc;
  paint->rcPaint = RECT{0, 0, window->clientWidth, window->clientHeight};
  const bool erase = window->erase;
  window->marked = window->erase = false;
  if (erase) paint->fErase = SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
  return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (paint == nullptr || paint->hdc == nullptr) return FALSE;
  if (Alive(window)) Present(window);
  ReleaseDC(window, paint->hdc);
  return TRUE;
}
