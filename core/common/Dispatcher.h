#pragma once
// Hand-over to the window thread. All of the wizard's own logic runs on one
// thread; other threads (the serial port's event thread) post work to it.
#include <functional>

class WindowDispatcher {
 public:
  virtual ~WindowDispatcher() = default;
  // Queues fn to run on the window thread and returns at once. The host runs
  // queued functions in order, each exactly once, unless it is shutting down.
  virtual void Post(std::function<void()> fn) = 0;
};
