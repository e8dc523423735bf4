// The trace as the tests link it (trace_listener.cpp): it formats nothing
// either, and hands each format to whoever listens.
#pragma once

// Handed each trace format as it is traced, unformatted; null when nobody
// listens.
using TraceListener = void (*)(const char* format);
extern TraceListener traceListener;
