#pragma once
// A wizard timer on a QTimer: its ticks run the handler on the window thread.
#include <QTimer>

#include "common/WizardTimer.h"

class QtWizardTimer : public WizardTimer {
 public:
  // A precise timer keeps to its interval to the millisecond; the sequencer's
  // 1 ms timer needs that, the others do not.
  QtWizardTimer(int interval, bool enabled, Qt::TimerType type = Qt::CoarseTimer);

  void SetEnabled(bool enabled) override;
  bool Enabled() const override;
  void SetInterval(int milliseconds) override;
  int Interval() const override;
  Qt::TimerType Type() const { return timer_.timerType(); }

 private:
  QTimer timer_;
};
