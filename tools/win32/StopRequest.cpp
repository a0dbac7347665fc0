// Ctrl+C and Ctrl+Break through the console's control handler, which
// Windows calls on a thread of its own.
#include <windows.h>

#include <atomic>

#include "StopRequest.h"

namespace {
std::atomic<int> requests{0};

BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  ++requests;
  return TRUE;
}
}  // namespace

void CatchStopRequests() { SetConsoleCtrlHandler(OnControl, TRUE); }

bool StopRequested() { return requests != 0; }

int StopRequests() { return requests; }
