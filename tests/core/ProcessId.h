#pragma once
// This test program's process number, which keeps the scratch folders of test
// programs running side by side apart.
#ifdef _WIN32
#include <process.h>
inline int ProcessId() { return _getpid(); }
#else
#include <unistd.h>
inline int ProcessId() { return getpid(); }
#endif
