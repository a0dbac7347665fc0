#pragma once
// Message boxes of the wizard as real modal QMessageBoxes. The program holds
// one of these and hands it to every window, so a test can put a scripted
// answerer in its place.
#include "common/MessageBoxes.h"

class QWidget;

class QtMessageBoxes : public MessageBoxes {
 public:
  MsgResult Show(const std::string& text, const std::string& caption, MsgButtons buttons,
                 MsgIcon icon) override;
};
