// For programs that load bitmaps without the viewer window (the benchmarks,
// the fuzzer, the tests of the core): no window ever exists, so every surface
// is made compatible with the screen.
#include "loader/bitmap_loader.h"

HWND mainDialog;
