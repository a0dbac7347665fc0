#pragma once
// The line speed the PC side of a pseudo-terminal has set, in bits per
// second (non-standard rates included); 0 when it can't be read.
unsigned ReadLineSpeed(int ttyFd);
