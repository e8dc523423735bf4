// The diagnostic trace: nothing is formatted or written.
#include "../trace.h"

// Tests set it to listen to the trace.
using TraceListener = void (*)(const char* format);
TraceListener traceListener;

int TracePrint(const char* format, ...) {
  if (traceListener != nullptr) traceListener(format);
  return 0;
}
