#pragma once
// Ctrl+C as a request to stop at the next safe point rather than at once:
// a unit being written into must not be left half-programmed. posix/
// catches SIGINT, win32/ the console's Ctrl+C and Ctrl+Break.

// From now on Ctrl+C only sets the request.
void CatchStopRequests();
// Ctrl+C was pressed since CatchStopRequests().
bool StopRequested();
// How often it was pressed since then.
int StopRequests();
