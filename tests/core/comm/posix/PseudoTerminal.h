#pragma once
// A pseudo-terminal for the port tests: the port opens the slave side by
// its path, the test plays the far end of the line on the master side.
#include <cstdint>
#include <string>

struct PseudoTerminal {
  PseudoTerminal();
  ~PseudoTerminal();
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Writes all of text from the far end.
  void Send(const std::string& text) const;
  // Reads from the far end until count bytes came or timeoutMs passed.
  std::string Receive(size_t count, int timeoutMs = 2000) const;
  // The far end hangs up.
  void CloseMaster();

  int master = -1;
  // Held open by the test so that the line stays up between opens of the port.
  int slave = -1;
  std::string path;
};

// The line settings the port left on the terminal, read from the far end.
struct LineSettings {
  uint32_t speed = 0;
  int dataBits = 0;
  bool parity = false, odd = false, stick = false, twoStopBits = false, rtscts = false, inpck = false;
  char xon = 0, xoff = 0;
};
LineSettings ReadLine(int fd);

// Seconds of processor time this process has used.
double ProcessCpuSeconds();
