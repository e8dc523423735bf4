// The message box: shown by a dialog program (zenity) with the code page 932
// texts as UTF-8; where none can be run, the message goes to standard error.
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "../gdi/code_page.h"
#include "display.h"
#include "layer_messages.h"

extern char** environ;

namespace {

// Runs the dialog program until the user dismisses it; false when it cannot
// be run or fails.
bool ShowInDialogProgram(const std::string& title, const std::string& body) {
  const char* argv[] = {"zenity", "--error", "--no-markup", "--title", title.c_str(), "--text", body.c_str(),
                        nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0)
    return false;
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
  // With no display to open there is nowhere to show it; the entry reports
  // the missing display instead.
  if (!NoDisplayReason().empty()) return 0;
  const std::string body = Utf8FromCp932(text != nullptr ? text : "");
  const std::string title = Utf8FromCp932(caption != nullptr ? caption : "Error");
  if (ShowInDialogProgram(title, body)) return IDOK;
  // The message must not be lost. Read there, it counts as dismissed.
  std::fprintf(stderr, "rastelle: %s: %s\n", title.c_str(), body.c_str());
  return IDOK;
}
