// The diagnostic trace that the loader, the renderers and the viewer call.
#pragma once

// Takes a printf format and its values, formats nothing, writes nothing and
// returns 0.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
int TracePrint(const char* format, ...);
