#pragma once
// Hand-over to the window thread through the Qt event loop: a posted function
// runs as a queued call on the thread that created the dispatcher.
#include <QObject>

#include "common/Dispatcher.h"

class QtWindowDispatcher : public WindowDispatcher {
 public:
  QtWindowDispatcher() = default;
  // Safe from any thread. Functions still queued when the dispatcher is
  // destroyed are dropped: the window they were meant for is gone too.
  void Post(std::function<void()> fn) override;

 private:
  QObject context_;
};
