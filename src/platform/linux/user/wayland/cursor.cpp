// The pointer's cursor over our windows: the arrow of the user's cursor theme,
// at the window's scale.
#include <wayland-cursor.h>

#include <climits>
#include <cstdlib>

#include "wayland_system.h"

namespace wayland {
namespace {

// XCURSOR_SIZE, as toolkits read it; 24 where it says nothing usable.
int CursorSize() {
  const char* value = std::getenv("XCURSOR_SIZE");
  const int size = value != nullptr ? std::atoi(value) : 0;
  return size > 0 && size <= 256 ? size : 24;
}

}  // namespace

void System::OnPointerEnter(std::uint32_t serial, wl_surface* surface) {
  Window* window = FindSurface(surface);
  if (window == nullptr) return;  // libdecor's frame sets its own
  pointerSerial = serial;
  pointerSurface = surface;
  SetCursor(*window);
}

void System::OnPointerLeave(wl_surface* surface) {
  if (surface == pointerSurface) pointerSurface = nullptr;
}

void System::SetCursor(Window& window) {
  if (pointer == nullptr || failed) return;
  // The theme is loaded when the pointer first comes, not before the first
  // picture; and again at another scale, since its images have one size.
  const int scale = window.scale;
  if (cursorTheme == nullptr || cursorScale != scale) {
    wl_cursor_theme* theme = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), CursorSize() * scale, shm);
    if (theme == nullptr) return;
    if (cursorSurface == nullptr) cursorSurface = wl_compositor_create_surface(compositor);
    // The surface may still show a buffer of the old theme: it goes after the
    // new one is attached.
    wl_cursor_theme* old = cursorTheme;
    cursorTheme = theme;
    cursorScale = scale;
    wl_cursor* cursor = wl_cursor_theme_get_cursor(theme, "left_ptr");
    if (cursor == nullptr) cursor = wl_cursor_theme_get_cursor(theme, "default");
    wl_cursor_image* image = cursor != nullptr && cursor->image_count > 0 ? cursor->images[0] : nullptr;
    wl_buffer* buffer = image != nullptr ? wl_cursor_image_get_buffer(image) : nullptr;
    if (buffer == nullptr) {
      wl_surface_attach(cursorSurface, nullptr, 0, 0);
      wl_surface_commit(cursorSurface);
      cursorHotspotX = cursorHotspotY = 0;
    } else {
      wl_surface_set_buffer_scale(cursorSurface, scale);
      wl_surface_attach(cursorSurface, buffer, 0, 0);
      wl_surface_damage(cursorSurface, 0, 0, INT32_MAX, INT32_MAX);
      wl_surface_commit(cursorSurface);
      cursorHotspotX = static_cast<int>(image->hotspot_x) / scale;
      cursorHotspotY = static_cast<int>(image->hotspot_y) / scale;
    }
    if (old != nullptr) wl_cursor_theme_destroy(old);
  }
  wl_pointer_set_cursor(pointer, pointerSerial, cursorSurface, cursorHotspotX, cursorHotspotY);
  Flush();
}

void System::DestroyCursor() {
  if (cursorSurface != nullptr) wl_surface_destroy(cursorSurface);
  if (cursorTheme != nullptr) wl_cursor_theme_destroy(cursorTheme);
  cursorSurface = nullptr;
  cursorTheme = nullptr;
}

}  // namespace wayland
