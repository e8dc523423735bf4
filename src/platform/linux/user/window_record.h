// What the window part of the layer keeps behind a window handle, and the
// registry of every window made. Internal to the layer and its tests.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../user.h"

struct HWND__ {
  SDL_Window* sdl = nullptr;
  Uint32 sdlId = 0;
  DLGPROC procedure = nullptr;
  HINSTANCE instance = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string text;  // the caption, code page 932 bytes
  HICON smallIcon = nullptr;
  HICON bigIcon = nullptr;
  // The client area: its size and its raster (kBytesPerPixel bytes a pixel, top row first),
  // a block of the memory module.
  int clientWidth = 0;
  int clientHeight = 0;
  std::uint8_t* client = nullptr;
  // The screen's density (display_scale.h): the dots per inch the window was
  // made for, or, when the toolkit scales its surface, none of our own.
  int dpi = 96;
  bool scaledByToolkit = false;
  // While its size changes, the window's paints may show a large picture
  // sampled rather than averaged; it paints again once the size is still.
  std::int64_t resizedAt = -1;    // NowMs() at the last size change; -1 for none
  bool repaintWhenStill = false;  // the last paint showed a quick picture
  bool visible = false;
  bool marked = false;  // anything to repaint
  bool erase = false;   // erase before repainting
  bool destroyed = false;
};

// Every window ever made stays registered; a destroyed one stays marked, so
// that a stale handle is recognised instead of followed. Like the queue, the
// registry lives as long as the process: nothing is released on the way out.
void RegisterWindow(HWND window);
const std::vector<HWND>& RegisteredWindows();

// A window that was made here and is not destroyed.
bool IsLive(HWND window);

// The live window that SDL knows by this id, or null.
HWND WindowFromSdlId(Uint32 id);
