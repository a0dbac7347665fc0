#pragma once
// A window thread that is pumped by hand: other threads Post() functions,
// and the thread that owns the queue runs them when it calls RunPending(),
// RunFor() or RunUntil(). Used by tests and by the command-line tool; the Qt
// window posts into its own event loop instead.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include "common/Dispatcher.h"

class QueueDispatcher : public WindowDispatcher {
 public:
  // Functions still queued when the dispatcher goes are dropped unrun.
  ~QueueDispatcher() override = default;

  void Post(std::function<void()> fn) override;

  // Runs the functions queued when the call began, in order; what they post
  // waits for the next call. Returns how many ran. An exception from a
  // function propagates; the rest stay queued.
  std::size_t RunPending();
  // Runs functions as they come until the time is up.
  std::size_t RunFor(std::chrono::milliseconds timeout);
  // Runs functions as they come until done() holds (checked before waiting
  // and after each function) or the time is up; returns done().
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

  std::size_t Queued() const;

 private:
  // Takes the next function, waiting until the deadline; empty when none came.
  std::function<void()> Take(std::chrono::steady_clock::time_point deadline);

  mutable std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> queue_;
};
