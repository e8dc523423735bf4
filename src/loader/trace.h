// The diagnostic trace that the loader, the renderers and the viewer call.
#pragma once

// Takes a printf format and its values, formats nothing, writes nothing and
// returns 0.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
int TracePrint(const char* format, ...);

// Tests listen to the trace: null, or a function handed each format as it is
// traced, unformatted.
using TraceListener = void (*)(const char* format);
extern TraceListener traceListener;
