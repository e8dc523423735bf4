// What the window manager is told about a window beyond its size: the frame
// its style asks for, and its title.
#pragma once

#include <SDL.h>

#include <string>
#include <string_view>

#include "../user.h"

// Hands the window manager the decorations and functions the style asks for.
// Only on X11, and before the window is first shown: SDL has no call for it.
void HandFrameHints(SDL_Window* window, DWORD style);

// The title the desktop shows for a caption of code page 932 bytes: UTF-8,
// without control characters, which a desktop would draw as boxes.
std::string DesktopTitle(std::string_view caption);
