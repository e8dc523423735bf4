// For programs that load bitmaps without the viewer window (tests,
// benchmarks, the fuzzer): no window ever exists, so every surface is made
// compatible with the screen.
#include "loader/bitmap_loader.h"

HWND mainDialog;
