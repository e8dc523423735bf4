// The program's entry on Windows: takes the command line less the program's
// name in its wide form from the runtime start-up, keeps it, and hands WinMain
// its bytes in the ANSI code page, as the start-up would have.
#include "../win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show) {
  return WinMain(instance, previous, KeepCommandLine(commandLine), show);
}
