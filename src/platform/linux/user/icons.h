// Icon groups, decoded for the desktop. Internal to the layer and its tests.
#pragma once

#include <cstdint>
#include <vector>

#include "../user.h"

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

// The image the desktop shows for a window: the small icon's 16 x 16 image, or
// the big icon's 32 x 32 one while no small icon is set; null for none.
const IconImage* ShownIconImage(HWND window);

// Hands the desktop the window's shown image.
void ShowWindowIcon(HWND window);
