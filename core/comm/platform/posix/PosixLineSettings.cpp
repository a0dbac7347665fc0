#include "comm/platform/posix/PosixLineSettings.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstdlib>

namespace {

struct RateCode {
  uint32_t rate;
  tcflag_t code;
};
// The rates with a B-constant; every other one goes through BOTHER.
constexpr RateCode kRateCodes[] = {{110, B110},       {300, B300},      {600, B600},       {1200, B1200},
                                   {2400, B2400},     {4800, B4800},    {9600, B9600},     {19200, B19200},
                                   {38400, B38400},   {57600, B57600},  {115200, B115200}, {230400, B230400},
                                   {460800, B460800}, {921600, B921600}};

tcflag_t RateCode(uint32_t rate) {
  for (const auto& entry : kRateCodes)
    if (entry.rate == rate) return entry.code;
  return BOTHER;
}

bool Fail(int error) {
  errno = error;
  return false;
}

// The driver may round a rate or drop a flag it can't do; a port running at
// a rate off by more than a UART's tolerance, or in another frame, is a
// failure, not a setting.
bool SameLine(const termios2& wanted, const termios2& got) {
  constexpr tcflag_t kFrame = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
  if ((wanted.c_cflag & kFrame) != (got.c_cflag & kFrame)) return false;
  if ((wanted.c_iflag & (INPCK | IXON | IXOFF)) != (got.c_iflag & (INPCK | IXON | IXOFF))) return false;
  long diff = std::labs(long(got.c_ospeed) - long(wanted.c_ospeed));
  return diff * 100 <= long(wanted.c_ospeed);
}

// Raw mode for binary data: no echo, no line editing, no character
// translation, the modem's carrier line ignored. VMIN 1 with O_NONBLOCK:
// an empty queue reads as EAGAIN, so that 0 only ever means a hang-up.
void MakeRaw(termios2& t) {
  t.c_iflag &=
      ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY | IMAXBEL | IGNPAR | IUCLC);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHONL | ECHOE | ECHOK | ICANON | ISIG | IEXTEN);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
}

}  // namespace

bool ReadLineSettings(int fd, DeviceControlBlock& dcb) {
  termios2 t{};
  if (ioctl(fd, TCGETS2, &t) < 0) return false;
  dcb.BaudRate = t.c_ospeed;
  switch (t.c_cflag & CSIZE) {
    case CS5:
      dcb.ByteSize = 5;
      break;
    case CS6:
      dcb.ByteSize = 6;
      break;
    case CS7:
      dcb.ByteSize = 7;
      break;
    default:
      dcb.ByteSize = 8;
      break;
  }
  if (!(t.c_cflag & PARENB))
    dcb.Parity = CommParity::NoParity;
  else if (t.c_cflag & CMSPAR)
    dcb.Parity = (t.c_cflag & PARODD) ? CommParity::Mark : CommParity::Space;
  else
    dcb.Parity = (t.c_cflag & PARODD) ? CommParity::Odd : CommParity::Even;
  dcb.StopBits = (t.c_cflag & CSTOPB) ? CommStopBits::Two : CommStopBits::One;
  dcb.fBinary = true;
  bool rtscts = t.c_cflag & CRTSCTS;
  dcb.fOutxCtsFlow = rtscts;
  dcb.fRtsControl = rtscts ? CommLineControl::Handshake : CommLineControl::Enable;
  dcb.fOutxDsrFlow = false;
  dcb.fDtrControl = CommLineControl::Enable;
  // fOutX and fInX are not taken from the terminal: a Linux terminal starts
  // with IXON for typing at it, which would swallow XON and XOFF bytes of
  // binary data. Software flow control is off until a port asks for it.
  if (t.c_iflag & INPCK) dcb.fParity = dcb.fErrorChar = true;
  dcb.XonChar = char(t.c_cc[VSTART]);
  dcb.XoffChar = char(t.c_cc[VSTOP]);
  return true;
}

bool WriteLineSettings(int fd, const DeviceControlBlock& dcb) {
  // What has no Linux equivalent: 4 data bits, 1.5 stop bits (and two stop
  // bits with five data bits, which a UART sends as 1.5), DSR flow control
  // and sensitivity, DTR handshake, RTS toggling, stripping NUL bytes, a
  // replacement character other than NUL for bytes with a parity error.
  if (dcb.BaudRate == 0 || !dcb.fBinary) return Fail(EINVAL);
  if (dcb.ByteSize < 5 || dcb.ByteSize > 8) return Fail(EINVAL);
  if (dcb.Parity > CommParity::Space) return Fail(EINVAL);
  if (dcb.StopBits == CommStopBits::OneAndHalf || dcb.StopBits > CommStopBits::Two) return Fail(EINVAL);
  if (dcb.StopBits == CommStopBits::Two && dcb.ByteSize == 5) return Fail(EINVAL);
  if (dcb.fOutxDsrFlow || dcb.fDsrSensitivity || dcb.fNull) return Fail(EINVAL);
  if (dcb.fDtrControl == CommLineControl::Handshake || dcb.fDtrControl > CommLineControl::Handshake)
    return Fail(EINVAL);
  if (dcb.fRtsControl == CommLineControl::Toggle || dcb.fRtsControl > CommLineControl::Toggle)
    return Fail(EINVAL);
  if (dcb.fParity && dcb.fErrorChar && dcb.ErrorChar != 0) return Fail(EINVAL);
  if (dcb.XonChar == dcb.XoffChar) return Fail(EINVAL);

  termios2 old{};
  if (ioctl(fd, TCGETS2, &old) < 0) return false;
  termios2 t = old;
  MakeRaw(t);
  t.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  t.c_cflag |= RateCode(dcb.BaudRate);
  t.c_ispeed = t.c_ospeed = dcb.BaudRate;
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[dcb.ByteSize - 5];
  switch (dcb.Parity) {
    case CommParity::Odd:
      t.c_cflag |= PARENB | PARODD;
      break;
    case CommParity::Even:
      t.c_cflag |= PARENB;
      break;
    case CommParity::Mark:
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case CommParity::Space:
      t.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (dcb.StopBits == CommStopBits::Two) t.c_cflag |= CSTOPB;
  if (dcb.fOutxCtsFlow || dcb.fRtsControl == CommLineControl::Handshake) t.c_cflag |= CRTSCTS;
  // Parity checking with the error character NUL is what INPCK does (a bad
  // byte reads as NUL). Checking without replacement passes the byte on as
  // it came; the driver still counts the error, and ClearCommError reports it.
  t.c_iflag &= ~(INPCK | IXON | IXOFF);
  if (dcb.fParity && dcb.fErrorChar) t.c_iflag |= INPCK;
  if (dcb.fOutX) t.c_iflag |= IXON;
  if (dcb.fInX) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = cc_t(dcb.XonChar);
  t.c_cc[VSTOP] = cc_t(dcb.XoffChar);

  if (ioctl(fd, TCSETS2, &t) < 0) return false;
  termios2 got{};
  if (ioctl(fd, TCGETS2, &got) < 0) return false;
  if (!SameLine(t, got)) {
    ioctl(fd, TCSETS2, &old);
    return Fail(EINVAL);
  }
  return true;
}
