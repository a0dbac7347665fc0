#include "comm/CommEventChars.h"

#include "comm/Comm.h"

void TCommEventChars::SetEventChar(int index, char value) {
  if (index < 1 || index > 5) return;
  chars_[index - 1] = value;
  if (owner_) owner_->UpdateDataControlBlock();
}

void TCommEventChars::Assign(const TCommEventChars& source) {
  for (int i = 0; i < 5; ++i) chars_[i] = source.chars_[i];
}
