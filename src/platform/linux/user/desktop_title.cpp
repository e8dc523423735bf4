// The title a desktop is given for a caption.
#include "desktop_title.h"

#include <algorithm>

#include "../gdi/code_page.h"

std::string DesktopTitle(std::string_view caption) {
  std::string title = Utf8FromCp932(caption);
  // In UTF-8 no byte of a longer character falls below 0x80.
  std::erase_if(title, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
  return title;
}
