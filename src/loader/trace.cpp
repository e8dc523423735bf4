// The diagnostic trace: nothing is formatted or written.
#include "../trace.h"

int TracePrint(const char*, ...) { return 0; }
