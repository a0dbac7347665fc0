#include "EventLoop.h"

#include <algorithm>

using Clock = std::chrono::steady_clock;

void LoopTimer::SetEnabled(bool enabled) {
  if (enabled && !enabled_) due_ = Clock::now() + std::chrono::milliseconds(interval_);
  enabled_ = enabled;
}

bool EventLoop::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (!done()) {
    auto now = Clock::now();
    if (now >= end) return false;
    auto wake = end;
    for (LoopTimer* t : timers_)
      if (t->enabled_) wake = std::min(wake, t->due_);
    if (wake > now)
      Dispatcher.RunUntil(done, std::chrono::duration_cast<std::chrono::milliseconds>(wake - now) +
                                    std::chrono::milliseconds(1));
    now = Clock::now();
    for (LoopTimer* t : timers_) {
      if (t->enabled_ && t->due_ <= now && !done()) {
        t->due_ += std::chrono::milliseconds(t->interval_);
        if (t->due_ < now) t->due_ = now + std::chrono::milliseconds(t->interval_);
        t->Tick();
      }
    }
  }
  return true;
}
