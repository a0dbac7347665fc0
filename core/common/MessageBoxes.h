#pragma once
// Modal message boxes as the wizard asks for them. The window shows real
// ones; the command-line tool prints them; tests answer them from a script.
#include <string>

enum class MsgButtons { OK, OKCancel, YesNo };
enum class MsgIcon { None, Error, Warning, Information, Question };
enum class MsgResult { OK, Cancel, Yes, No };

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // Shows the box and returns the button pressed. Timer ticks and received
  // data keep being handled while a box is open.
  virtual MsgResult Show(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) = 0;
};
