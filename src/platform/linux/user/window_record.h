// What the window part of the layer keeps behind a window handle, and the
// registry of every window made. Internal to the layer and its tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "../user.h"
#include "window_system.h"

struct HWND__ {
  DLGPROC procedure = nullptr;
  HINSTANCE instance = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string text;  // the caption, code page 932 bytes
  HICON smallIcon = nullptr;
  HICON bigIcon = nullptr;
  // The client area as the window system reported it, in device pixels, and
  // the dots per inch they stand for (window_events.h).
  int clientWidth = 0;
  int clientHeight = 0;
  int dpi = 96;
  // The pixels the last paint drew on, which the window shows; none before.
  WindowPixels pixels;
  // While its size changes, the window's paints may show a large picture
  // sampled rather than averaged; it paints again once the size is still.
  std::int64_t resizedAt = -1;    // NowMs() at the last size change; -1 for none
  bool repaintWhenStill = false;  // the last paint showed a quick picture
  bool made = false;              // the window system has made it
  bool visible = false;           // shown, as ShowWindow knows
  bool canPaint = false;          // a paint reaches the screen
  bool presented = false;         // it has shown a picture since it was shown
  bool marked = false;            // anything to repaint
  bool erase = false;             // erase before repainting
  bool destroyed = false;
};

// Every window ever made stays registered; a destroyed one stays marked, so
// that a stale handle is recognised instead of followed. Like the queue, the
// registry lives as long as the process: nothing is released on the way out.
void RegisterWindow(HWND window);
const std::vector<HWND>& RegisteredWindows();

// A window that was made here and is not destroyed.
bool IsLive(HWND window);
