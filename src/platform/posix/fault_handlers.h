// Handlers of memory faults (SIGSEGV, SIGBUS) that the drawing part and the
// memory module install for faults they expect, and that hand every other
// fault on to whatever handled it before. Internal to the layer.
#pragma once

#include <signal.h>

// A handler for faults the layer expects: true when it dealt with the fault.
using ExpectedFault = bool (*)(const siginfo_t& info);

// Installs the handler for the signal, once; false when the system refuses.
bool HandleExpectedFaults(int signal, ExpectedFault handler);
