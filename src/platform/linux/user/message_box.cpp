// The message box: SDL's, with the code page 932 texts shown as UTF-8; where
// none can be shown, the message goes to standard error.
#include <SDL.h>

#include <cstdio>
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
  if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), body.c_str(), nullptr) == 0) return IDOK;
  // On Wayland SDL shows boxes through a dialog program (zenity), which may
  // be missing; the message must not be lost. Read there, it counts as
  // dismissed.
  std::fprintf(stderr, "rastelle: %s: %s\n", title.c_str(), body.c_str());
  return IDOK;
}
