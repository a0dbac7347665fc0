#include "app/QtWizardTimer.h"

#include "app/Guarded.h"

QtWizardTimer::QtWizardTimer(int interval, bool enabled, Qt::TimerType type) {
  timer_.setTimerType(type);
  timer_.setInterval(interval);
  // Queued, so that the timer is free again before its handler runs: a
  // handler that opens a message box must not hold its own timer, whose
  // ticks go on inside the box's loop. A tick still queued when the timer is
  // stopped does not run.
  QObject::connect(
      &timer_, &QTimer::timeout, &timer_, Guarded([this] {
        if (timer_.isActive()) Tick();
      }),
      Qt::QueuedConnection);
  SetEnabled(enabled);
}

void QtWizardTimer::SetEnabled(bool enabled) {
  if (enabled && !timer_.isActive()) timer_.start();
  if (!enabled) timer_.stop();
}

bool QtWizardTimer::Enabled() const { return timer_.isActive(); }

void QtWizardTimer::SetInterval(int milliseconds) { timer_.setInterval(milliseconds); }

int QtWizardTimer::Interval() const { return timer_.interval(); }
