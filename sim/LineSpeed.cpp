// Kept apart: the kernel's termios2 header can't live beside <termios.h>.
#include "sim/LineSpeed.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

unsigned ReadLineSpeed(int ttyFd) {
  struct termios2 t {};
  if (ioctl(ttyFd, TCGETS2, &t) != 0) return 0;
  return t.c_ospeed;
}
