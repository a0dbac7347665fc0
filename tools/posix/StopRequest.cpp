// Ctrl+C through SIGINT.
#include <csignal>

#include "StopRequest.h"

namespace {
volatile std::sig_atomic_t requests = 0;
}

void CatchStopRequests() {
  struct sigaction action {};
  action.sa_handler = [](int) { requests = requests + 1; };
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

bool StopRequested() { return requests != 0; }

int StopRequests() { return requests; }
