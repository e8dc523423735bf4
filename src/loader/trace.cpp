// The diagnostic trace: nothing is formatted or written.
#include "trace.h"

TraceListener traceListener;

int TracePrint(const char* format, ...) {
  if (traceListener != nullptr) traceListener(format);
  return 0;
}
