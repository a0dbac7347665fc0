#pragma once
// The five special characters of a port's line settings. Changing one on an
// open port re-applies the line settings at once.
class TThreadComm;

class TCommEventChars {
 public:
  explicit TCommEventChars(TThreadComm* owner) : owner_(owner) {}
  virtual ~TCommEventChars() = default;
  TCommEventChars(const TCommEventChars&) = delete;
  TCommEventChars& operator=(const TCommEventChars&) = delete;

  char XOnChar() const { return chars_[0]; }
  char XOffChar() const { return chars_[1]; }
  char ErrorChar() const { return chars_[2]; }
  char EofChar() const { return chars_[3]; }
  char EvtChar() const { return chars_[4]; }
  void SetXOnChar(char c) { SetEventChar(1, c); }
  void SetXOffChar(char c) { SetEventChar(2, c); }
  void SetErrorChar(char c) { SetEventChar(3, c); }
  void SetEofChar(char c) { SetEventChar(4, c); }
  void SetEvtChar(char c) { SetEventChar(5, c); }

  // Index 1 to 5 in the order above. Stores the character, then has the
  // owner port re-apply its line settings (also for an unchanged value);
  // raises what that raises. An index out of range is ignored.
  void SetEventChar(int index, char value);

  // Copies the five characters without touching the port's line settings;
  // they reach the port with its next update.
  virtual void Assign(const TCommEventChars& source);

 private:
  TThreadComm* owner_;
  char chars_[5] = {0x11, 0x13, 0x00, 0x00, 0x00};
};
