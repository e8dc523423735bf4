// Event translation: window events become WM_SIZE, WM_CLOSE and marks for
// repainting, keys become key messages, and the files of one drop, which SDL
// hands over one at a time, become one WM_DROPFILES.
#include "events.h"

#include "drop.h"
#include "framebuffer.h"
#include "layer_messages.h"
#include "message_queue.h"
#include "paint_cycle.h"
#include "window_record.h"

namespace {

// The files of a drop being collected between SDL_DROPBEGIN and
// SDL_DROPCOMPLETE, and the SDL window it is for.
HDROP pendingDrop = nullptr;
Uint32 pendingDropWindow = 0;

bool AcceptsDrops(HWND window) { return (window->exStyle & WS_EX_ACCEPTFILES) != 0; }

// The window a drop goes to: SDL's window, or the one window that accepts
// drops when SDL names none; null when that window does not accept them.
HWND DropTarget(Uint32 id) {
  HWND window = WindowFromSdlId(id);
  if (window == nullptr) {
    for (HWND candidate : RegisteredWindows()) {
      if (!candidate->destroyed && AcceptsDrops(candidate)) {
        window = candidate;
        break;
      }
    }
  }
  return window != nullptr && AcceptsDrops(window) ? window : nullptr;
}

void BeginDrop(Uint32 windowId) {
  pendingDrop = new HDROP__;
  pendingDropWindow = windowId;
}

void FinishDrop() {
  HWND window = DropTarget(pendingDropWindow);
  if (window != nullptr && !pendingDrop->paths.empty()) {
    PostToQueue(window, WM_DROPFILES, reinterpret_cast<WPARAM>(pendingDrop), 0);
  } else {
    DragFinish(pendingDrop);
  }
  pendingDrop = nullptr;
}

void TranslateWindowEvent(const SDL_WindowEvent& event) {
  HWND window = WindowFromSdlId(event.windowID);
  if (window == nullptr) return;
  switch (event.event) {
    case SDL_WINDOWEVENT_CLOSE:
      PostToQueue(window, WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      FollowClientSize(window);
      MarkForRepaint(window);
      NoteResize(window);
      const bool maximized = (SDL_GetWindowFlags(window->sdl) & SDL_WINDOW_MAXIMIZED) != 0;
      PostToQueue(window, WM_SIZE, maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
                  SizeParam(window->clientWidth, window->clientHeight));
      break;
    }
    case SDL_WINDOWEVENT_EXPOSED:
      MarkForRepaint(window);
      break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
    case SDL_WINDOWEVENT_FOCUS_LOST:
      // The frame shows whether the window is active; where the toolkit draws
      // it, it reaches the screen with the window's next present.
      PresentFrameAgain(window);
      break;
    default:
      break;
  }
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

void TranslateKeyEvent(const SDL_KeyboardEvent& event) {
  HWND window = WindowFromSdlId(event.windowID);
  const int key = VirtualKey(event.keysym.sym);
  if (window == nullptr || key == 0) return;
  const bool down = event.type == SDL_KEYDOWN;
  const bool alt = (event.keysym.mod & KMOD_ALT) != 0;
  const UINT message = alt ? (down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (down ? WM_KEYDOWN : WM_KEYUP);
  // Repeat count 1; bit 29 for Alt, bit 30 for a repeat or a release, bit 31
  // for a release.
  LPARAM lParam = 1;
  if (alt) lParam |= LPARAM{1} << 29;
  if (event.repeat != 0 || !down) lParam |= LPARAM{1} << 30;
  if (!down) lParam |= LPARAM{1} << 31;
  PostToQueue(window, message, static_cast<WPARAM>(key), lParam);
}

void Translate(const SDL_Event& event) {
  switch (event.type) {
    case SDL_WINDOWEVENT:
      TranslateWindowEvent(event.window);
      return;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKeyEvent(event.key);
      return;
    case SDL_DROPBEGIN:
      if (pendingDrop != nullptr) FinishDrop();
      BeginDrop(event.drop.windowID);
      return;
    case SDL_DROPFILE:
      if (pendingDrop == nullptr) BeginDrop(event.drop.windowID);
      if (event.drop.file != nullptr) pendingDrop->paths.emplace_back(event.drop.file);
      SDL_free(event.drop.file);
      return;
    case SDL_DROPTEXT:
      SDL_free(event.drop.file);
      return;
    case SDL_DROPCOMPLETE:
      if (pendingDrop != nullptr) FinishDrop();
      return;
    case SDL_QUIT:
      // SDL asks to quit after a last window's close box, which WM_CLOSE
      // handles, and when the window system has gone, which ends the viewer.
      for (HWND window : RegisteredWindows()) {
        if (IsLive(window)) CheckWindowSystem(window);
      }
      return;
    default:
      return;
  }
}

}  // namespace

void PumpEvents() {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return;
  for (SDL_Event event; SDL_PollEvent(&event) != 0;) Translate(event);
}

bool WaitForEvent(int timeoutMs) {
  if (SDL_WasInit(SDL_INIT_VIDEO) == 0) return false;
  SDL_Event event;
  if (timeoutMs >= 0) {
    // 0 is the timeout, or an error the next wait without one reports.
    if (SDL_WaitEventTimeout(&event, timeoutMs) != 0) Translate(event);
    return true;
  }
  if (SDL_WaitEvent(&event) == 0) return false;
  Translate(event);
  return true;
}
