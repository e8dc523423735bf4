// The extended dialog template (DLGTEMPLATEEX) a dialog is made from, and the
// size of its dialog units in pixels.
#pragma once

#include <string>

#include "../../little_endian.h"
#include "../user.h"

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

// Reads a template within its bytes; false when they are not a complete
// extended template.
bool ParseDialogTemplate(Bytes bytes, DialogTemplate& dialog);

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
