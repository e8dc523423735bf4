// The message box: SDL's, with the code page 932 texts shown as UTF-8.
#include <SDL.h>

#include <string>

#include "../gdi/code_page.h"
#include "layer_messages.h"
#include "video.h"

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
  // With no display to open there is nowhere to show it; SDL would still try
  // every way it knows, down to starting a dialog program. The entry reports
  // the missing display instead.
  if (!NoDisplayReason().empty()) return 0;
  const std::string body = Utf8FromCp932(text != nullptr ? text : "");
  const std::string title = Utf8FromCp932(caption != nullptr ? caption : "Error");
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), body.c_str(), nullptr) == 0 ? IDOK : 0;
}
