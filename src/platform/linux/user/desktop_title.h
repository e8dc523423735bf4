// The title a desktop is given for a caption.
#pragma once

#include <string>
#include <string_view>

// The title the desktop shows for a caption of code page 932 bytes: UTF-8,
// without control characters, which a desktop would draw as boxes.
std::string DesktopTitle(std::string_view caption);
