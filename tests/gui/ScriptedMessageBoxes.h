#pragma once
// Message boxes answered from a script: each Show() takes the next answer and
// records what was asked, so a test sees every box the wizard showed.
#include <deque>
#include <string>
#include <vector>

#include "common/MessageBoxes.h"

struct ShownBox {
  std::string Text;
  std::string Caption;
  MsgButtons Buttons;
  MsgIcon Icon;
};

class ScriptedMessageBoxes : public MessageBoxes {
 public:
  std::deque<MsgResult> Answers;
  std::vector<ShownBox> Shown;
  // A box came with no answer scripted for it; it was answered Cancel.
  bool Unexpected = false;

  MsgResult Show(const std::string& text, const std::string& caption, MsgButtons buttons,
                 MsgIcon icon) override {
    Shown.push_back({text, caption, buttons, icon});
    if (Answers.empty()) {
      Unexpected = true;
      return MsgResult::Cancel;
    }
    MsgResult answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
};
