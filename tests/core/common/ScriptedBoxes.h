#pragma once
// Message boxes answered from a script, every call recorded.
#include <functional>
#include <string>
#include <vector>

#include "common/MessageBoxes.h"

class ScriptedBoxes : public MessageBoxes {
 public:
  struct Shown {
    std::string Text, Caption;
    MsgButtons Buttons;
    MsgIcon Icon;
  };
  std::vector<Shown> Calls;
  MsgResult Answer = MsgResult::OK;
  std::function<void()> WhileOpen;  // runs as if ticks came while the box is up

  MsgResult Show(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon) override {
    Calls.push_back({text, caption, buttons, icon});
    if (WhileOpen) WhileOpen();
    return Answer;
  }
};
