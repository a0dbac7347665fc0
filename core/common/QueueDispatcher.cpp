#include "common/QueueDispatcher.h"

void QueueDispatcher::Post(std::function<void()> fn) {
  if (!fn) return;
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(fn));
  }
  posted_.notify_all();
}

std::size_t QueueDispatcher::RunPending() {
  std::size_t count;
  {
    std::lock_guard lock(mutex_);
    count = queue_.size();
  }
  for (std::size_t i = 0; i < count; ++i) {
    std::function<void()> fn;
    {
      std::lock_guard lock(mutex_);
      fn = std::move(queue_.front());
      queue_.pop_front();
    }
    fn();
  }
  return count;
}

std::function<void()> QueueDispatcher::Take(std::chrono::steady_clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  if (!posted_.wait_until(lock, deadline, [this] { return !queue_.empty(); })) return nullptr;
  std::function<void()> fn = std::move(queue_.front());
  queue_.pop_front();
  return fn;
}

std::size_t QueueDispatcher::RunFor(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::size_t count = 0;
  while (auto fn = Take(deadline)) {
    fn();
    ++count;
  }
  return count;
}

bool QueueDispatcher::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    auto fn = Take(deadline);
    if (!fn) return done();
    fn();
  }
  return true;
}

std::size_t QueueDispatcher::Queued() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}
