#pragma once
// How long ago the operating system started this process, so that a start-up
// time includes loading the program and its libraries.

// Milliseconds since the process started, or a negative value when the
// system can't tell.
double MillisecondsSinceProcessStart();
