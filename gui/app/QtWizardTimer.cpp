#include "app/QtWizardTimer.h"

#include "app/Guarded.h"

QtWizardTimer::QtWizardTimer(int interval, bool enabled, Qt::TimerType type) {
  timer_.setTimerType(type);
  timer_.setInterval(interval);
  QObject::connect(&timer_, &QTimer::timeout, Guarded([this] { Tick(); }));
  SetEnabled(enabled);
}

void QtWizardTimer::SetEnabled(bool enabled) {
  if (enabled && !timer_.isActive()) timer_.start();
  if (!enabled) timer_.stop();
}

bool QtWizardTimer::Enabled() const { return timer_.isActive(); }

void QtWizardTimer::SetInterval(int milliseconds) { timer_.setInterval(milliseconds); }

int QtWizardTimer::Interval() const { return timer_.interval(); }
