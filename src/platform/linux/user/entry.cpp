// The program's entry on Linux: hands WinMain the command line less the
// program's name, the arguments joined by single blanks, as one string.
#include <cstdio>
#include <string>

#include "../../win32.h"
#include "display.h"

int main(int argc, char** argv) {
  std::string commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += argv[i];
  }
  const int exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWNORMAL);
  // Without a display there was no window, and the loop ended at once with
  // nothing to report; scripts and launchers must not take that for success.
  if (!NoDisplayReason().empty()) {
    std::fprintf(stderr, "rastelle: cannot open a display (%s)\n", NoDisplayReason().c_str());
    return 1;
  }
  // A window that could not be made or shown ended the loop, likewise.
  if (!CannotShowReason().empty()) {
    std::fprintf(stderr, "rastelle: cannot show the window (%s)\n", CannotShowReason().c_str());
    return 1;
  }
  return exitCode;
}
