// The trace the tests link in the place of the program's: it hands each format
// to the listener, so that a test can see what a load traced, or act at a
// given moment of it.
#include "trace_listener.h"

#include "trace.h"

TraceListener traceListener;

int TracePrint(const char* format, ...) {
  if (traceListener != nullptr) traceListener(format);
  return 0;
}
