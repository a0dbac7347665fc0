#pragma once
// A window timer as the wizard sees it: an interval, an enabled flag and a
// tick handler run on the window thread. The window uses real timers; tests
// call Tick() themselves.
#include <functional>

class WizardTimer {
 public:
  virtual ~WizardTimer() = default;
  virtual void SetEnabled(bool enabled) = 0;
  virtual bool Enabled() const = 0;
  virtual void SetInterval(int milliseconds) = 0;
  virtual int Interval() const = 0;

  std::function<void()> OnTimer;
  void Tick() {
    if (OnTimer) OnTimer();
  }
};

// A timer driven by hand: for tests and for hosts that step the logic themselves.
class ManualTimer : public WizardTimer {
 public:
  explicit ManualTimer(int interval = 1000, bool enabled = false) : interval_(interval), enabled_(enabled) {}
  void SetEnabled(bool enabled) override { enabled_ = enabled; }
  bool Enabled() const override { return enabled_; }
  void SetInterval(int milliseconds) override { interval_ = milliseconds; }
  int Interval() const override { return interval_; }
  // Runs the tick handler if the timer is enabled, as a real timer would.
  void Fire() {
    if (enabled_) Tick();
  }

 private:
  int interval_;
  bool enabled_;
};
