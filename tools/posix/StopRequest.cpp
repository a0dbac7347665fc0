// Ctrl+C through SIGINT.
#include <csignal>

#include "StopRequest.h"

namespace {
volatile std::sig_atomic_t requested = 0;
}

void CatchStopRequests() {
  struct sigaction action {};
  action.sa_handler = [](int) { requested = 1; };
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

bool StopRequested() { return requested != 0; }
