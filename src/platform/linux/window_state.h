// What the window part of the layer keeps behind its handles. Internal to the
// layer (and to its own tests).
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "../win32.h"

// One image of an icon group, decoded to 0xAARRGGBB, top row first.
struct IconImage {
  int width;
  int height;
  std::vector<std::uint32_t> argb;
};

struct HICON__ {
  WORD groupId;
  std::vector<IconImage> images;
};

// The image of the icon that suits a size in pixels best: the smallest one at
// least that large, else the largest. Null for an icon without images.
const IconImage* IconImageForSize(HICON icon, int size);

struct HDROP__ {
  std::vector<std::string> paths;  // the desktop's bytes, unchanged
};

struct HINSTANCE__ {
  const char* name;
};

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
  const IconImage* shownIcon = nullptr;  // the image the desktop was given
  // The client area: its size and its raster of COLORREFs, top row first.
  int clientWidth = 0;
  int clientHeight = 0;
  std::vector<std::uint32_t> client;
  bool visible = false;
  bool marked = false;  // anything to repaint
  bool erase = false;   // erase before repainting
  bool destroyed = false;
};

// Pixel sizes of a dialog template's dialog units. The template's font sets
// them: its pixel height at 96 dots per inch (9 points: 12 pixels) is the
// height of 8 vertical units, and half of it, the width of a half-width
// character, is the width of 4 horizontal units. Without a font the system
// font's 8 x 16 cell sets them.
struct DialogUnits {
  int baseX;  // pixels per 4 horizontal units
  int baseY;  // pixels per 8 vertical units
};
DialogUnits DialogUnitsForFont(int pointSize);

// An extended dialog template (DLGTEMPLATEEX), read within its bytes.
struct DialogTemplate {
  DWORD exStyle = 0;
  DWORD style = 0;
  WORD itemCount = 0;
  short x = 0, y = 0, cx = 0, cy = 0;
  std::u16string title;
  WORD pointSize = 0;
  WORD weight = 0;
  BYTE italic = 0;
  BYTE charset = 0;
  std::u16string typeface;
};
// False when the bytes are not a complete extended template.
bool ParseDialogTemplate(const std::uint8_t* bytes, std::size_t size, DialogTemplate& dialog);
