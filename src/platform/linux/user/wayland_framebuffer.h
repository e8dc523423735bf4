// Presenting a client raster on a Wayland compositor through buffers in
// shared memory (wl_shm), as the X11 path presents through MIT-SHM.
#pragma once

#include <string>

#include "../user.h"

struct wl_display;
struct wl_surface;

// Copies the window's client raster into a buffer of the window's size in
// device pixels that the compositor is not reading, and commits it to the
// window's surface. False, having shown nothing, when that cannot be done (no
// shared memory buffers, no 32-bit format, memory refused, the compositor
// keeps every buffer or has closed the connection); WaylandFailure says why.
bool PresentThroughWaylandBuffer(HWND window, wl_display* display, wl_surface* surface);
const std::string& WaylandFailure();

// Whether the connection has failed (the compositor has gone); then
// WaylandFailure says how.
bool WaylandConnectionFailed(wl_display* display);

// The window is being destroyed: its buffers are given up.
void ForgetWaylandWindow(HWND window);
