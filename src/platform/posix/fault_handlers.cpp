// One handler per fault signal in front of whatever handled it before.
#include "fault_handlers.h"

#include <cstring>

namespace {

struct Chain {
  int signal = 0;
  ExpectedFault handler = nullptr;
  struct sigaction previous {};
};
Chain chains[2];  // SIGSEGV and SIGBUS

void PassOn(const struct sigaction& previous, int signal, siginfo_t* info, void* context) {
  if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
    previous.sa_sigaction(signal, info, context);
  } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
    previous.sa_handler(signal);
  } else {
    // The faulting instruction runs again and takes the default action.
    ::signal(signal, SIG_DFL);
  }
}

void OnFault(int signal, siginfo_t* info, void* context) {
  for (const Chain& chain : chains) {
    if (chain.signal != signal) continue;
    if (!chain.handler(*info)) PassOn(chain.previous, signal, info, context);
    return;
  }
}

}  // namespace

bool HandleExpectedFaults(int signal, ExpectedFault handler) {
  Chain* free = nullptr;
  for (Chain& chain : chains) {
    if (chain.signal == signal) return true;
    if (chain.signal == 0 && free == nullptr) free = &chain;
  }
  if (free == nullptr) return false;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  free->handler = handler;
  free->signal = signal;
  if (sigaction(signal, &action, &free->previous) != 0) {
    *free = Chain{};
    return false;
  }
  return true;
}
