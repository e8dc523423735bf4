// The frame where the compositor draws none (GNOME's offers no xdg-decoration):
// libdecor makes the window's toplevel and draws the frame around its surface.
#include <libdecor.h>

#include "../layer_messages.h"
#include "../window_events.h"
#include "wayland_system.h"

namespace wayland {
namespace {

Window& Of(void* data) { return *static_cast<Window*>(data); }

void OnError(libdecor*, libdecor_error, const char* message) {
  CannotShowWindow(std::string("the window's frame failed: ") + message);
}

void OnConfigure(libdecor_frame* frame, libdecor_configuration* configuration, void* data) {
  Window& window = Of(data);
  // No size leaves it to us: the one we have stays.
  int width = 0, height = 0;
  const bool sized = libdecor_configuration_get_content_size(configuration, frame, &width, &height) &&
                     width > 0 && height > 0;
  if (!sized) {
    width = window.width;
    height = window.height;
  }
  libdecor_state* state = libdecor_state_new(width, height);
  libdecor_frame_commit(frame, state, configuration);  // acknowledges the configure
  libdecor_state_free(state);
  // libdecor does not say whether the user drags the frame: a new size of a
  // window that shows a picture counts as that.
  window.system->Configured(window, width, height, sized, window.presented);
}

void OnClose(libdecor_frame*, void* data) { CloseRequested(Of(data).handle); }

// The frame is drawn in subsurfaces, which show what was drawn only with
// their parent's next commit; before the first picture there is none to make.
void OnCommit(libdecor_frame*, void* data) {
  Window& window = Of(data);
  if (window.presented) wl_surface_commit(window.surface);
}

void OnDismissPopup(libdecor_frame*, const char*, void*) {}

// libdecor keeps the pointers, and its interfaces have reserved places after
// those it calls.
libdecor_interface& ContextInterface() {
  static libdecor_interface interface = [] {
    libdecor_interface made{};
    made.error = OnError;
    return made;
  }();
  return interface;
}

libdecor_frame_interface& FrameInterface() {
  static libdecor_frame_interface interface = [] {
    libdecor_frame_interface made{};
    made.configure = OnConfigure;
    made.close = OnClose;
    made.commit = OnCommit;
    made.dismiss_popup = OnDismissPopup;
    return made;
  }();
  return interface;
}

// What the frame offers, by the window's style: a caption moves the window,
// a thick frame resizes (and maximises) it, the system menu closes it.
void LimitFrame(Window& window) {
  unsigned unset = LIBDECOR_ACTION_FULLSCREEN;
  if ((window.style & WS_CAPTION) != WS_CAPTION) unset |= LIBDECOR_ACTION_MOVE;
  if ((window.style & WS_THICKFRAME) == 0) unset |= LIBDECOR_ACTION_RESIZE;
  if ((window.style & WS_MINIMIZEBOX) == 0) unset |= LIBDECOR_ACTION_MINIMIZE;
  if ((window.style & WS_SYSMENU) == 0) unset |= LIBDECOR_ACTION_CLOSE;
  libdecor_frame_unset_capabilities(window.frame, static_cast<libdecor_capabilities>(unset));
  if ((window.style & WS_THICKFRAME) == 0) {
    libdecor_frame_set_min_content_size(window.frame, window.width, window.height);
    libdecor_frame_set_max_content_size(window.frame, window.width, window.height);
  }
}

}  // namespace

void System::MakeFrame(Window& window) {
  if (decor == nullptr) decor = libdecor_new(display, &ContextInterface());
  if (decor != nullptr) window.frame = libdecor_decorate(decor, window.surface, &FrameInterface(), &window);
  if (window.frame == nullptr) {
    CannotShowWindow("libdecor cannot make the window's frame");
    return;
  }
  libdecor_frame_set_title(window.frame, window.title.c_str());
  libdecor_frame_set_app_id(window.frame, kAppId);
  LimitFrame(window);
  // libdecor commits the surface, without a buffer, once it has what it needs
  // of the compositor.
  libdecor_frame_map(window.frame);
}

void System::SetFrameTitle(Window& window) { libdecor_frame_set_title(window.frame, window.title.c_str()); }

void System::DestroyFrame(Window& window) {
  if (window.frame != nullptr) libdecor_frame_unref(window.frame);
  window.frame = nullptr;
}

void System::StopFrames() {
  if (decor != nullptr) libdecor_unref(decor);
  decor = nullptr;
}

}  // namespace wayland
