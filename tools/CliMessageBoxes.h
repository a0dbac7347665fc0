#pragma once
// Message boxes on a terminal: printed, and answered by the command's options.
#include <cstdio>
#include <functional>
#include <string>

#include "common/MessageBoxes.h"

class CliMessageBoxes : public MessageBoxes {
 public:
  explicit CliMessageBoxes(MsgResult okCancelAnswer) : okCancelAnswer_(okCancelAnswer) {}

  MsgResult Show(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon) override {
    if (Print) Print(caption + ": " + text);
    else std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    LastText = text;
    if (OnShown) OnShown(caption, text);
    switch (buttons) {
      case MsgButtons::OKCancel: return okCancelAnswer_;
      case MsgButtons::YesNo: return okCancelAnswer_ == MsgResult::OK ? MsgResult::Yes : MsgResult::No;
      case MsgButtons::OK: break;
    }
    return MsgResult::OK;
  }

  std::string LastText;  // the last message shown
  // Where a message goes; on stderr unless set.
  std::function<void(const std::string& line)> Print;
  // Told of every message shown (the trace).
  std::function<void(const std::string& caption, const std::string& text)> OnShown;

 private:
  MsgResult okCancelAnswer_;
};
