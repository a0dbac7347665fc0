#pragma once
// The command-line tool's window thread: the queue the serial port's event
// thread posts to, and timers that fire in real time between its functions.
#include <chrono>
#include <functional>
#include <vector>

#include "common/QueueDispatcher.h"
#include "common/WizardTimer.h"

class LoopTimer : public WizardTimer {
 public:
  explicit LoopTimer(int interval) : interval_(interval) {}
  void SetEnabled(bool enabled) override;
  bool Enabled() const override { return enabled_; }
  void SetInterval(int milliseconds) override { interval_ = milliseconds; }
  int Interval() const override { return interval_; }

 private:
  friend class EventLoop;
  int interval_;
  bool enabled_ = false;
  std::chrono::steady_clock::time_point due_{};
};

class EventLoop {
 public:
  QueueDispatcher Dispatcher;

  void Add(LoopTimer& timer) { timers_.push_back(&timer); }
  void Remove(LoopTimer& timer) { std::erase(timers_, &timer); }
  // Runs posted functions and due timer ticks until done() holds or the time
  // is up; returns done().
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

 private:
  std::vector<LoopTimer*> timers_;
};
