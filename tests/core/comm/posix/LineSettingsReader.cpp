// Kept apart: the kernel's termios2 header can't share a file with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "PseudoTerminal.h"

LineSettings ReadLine(int fd) {
  termios2 t{};
  LineSettings line;
  if (ioctl(fd, TCGETS2, &t) != 0) return line;
  line.speed = t.c_ospeed;
  switch (t.c_cflag & CSIZE) {
    case CS5:
      line.dataBits = 5;
      break;
    case CS6:
      line.dataBits = 6;
      break;
    case CS7:
      line.dataBits = 7;
      break;
    default:
      line.dataBits = 8;
      break;
  }
  line.parity = t.c_cflag & PARENB;
  line.odd = t.c_cflag & PARODD;
  line.stick = t.c_cflag & CMSPAR;
  line.twoStopBits = t.c_cflag & CSTOPB;
  line.rtscts = t.c_cflag & CRTSCTS;
  line.inpck = t.c_iflag & INPCK;
  line.xon = char(t.c_cc[VSTART]);
  line.xoff = char(t.c_cc[VSTOP]);
  return line;
}
