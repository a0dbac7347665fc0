#include "comm/CommEventThread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "comm/platform/SerialPlatform.h"
#include "common/Dispatcher.h"

// What an event thread shares with the notifications it has posted. It
// outlives the thread: a notification may still be queued on the window
// thread after the thread and its port are gone, and then finds the state
// terminated and does nothing.
struct CommHandOver {
  std::mutex mutex;
  std::condition_variable changed;
  bool terminated = false;
  TCommEventThread::TSignalEvent onSignal;
  uint64_t posted = 0;    // notifications posted so far
  uint64_t finished = 0;  // the last one that has run (or was dropped)
};

TCommEventThread::TCommEventThread(SerialDevice& port, uint32_t suspendTime, TCommEventTypes events,
                                   WindowDispatcher& dispatcher)
    : port_(port),
      suspendTime_(suspendTime),
      dispatcher_(dispatcher),
      handOver_(std::make_shared<CommHandOver>()) {
  port_.SetCommMask(CommEventMask(events));
}

TCommEventThread::~TCommEventThread() {
  Terminate();
  WaitFor();
}

void TCommEventThread::SetOnSignal(TSignalEvent onSignal) {
  std::lock_guard lock(handOver_->mutex);
  if (!handOver_->terminated) handOver_->onSignal = std::move(onSignal);
}

void TCommEventThread::Resume() {
  if (!thread_.joinable()) thread_ = std::thread([this] { Execute(); });
}

void TCommEventThread::Terminate() {
  TSignalEvent detached;  // destroyed outside the lock
  {
    std::lock_guard lock(handOver_->mutex);
    handOver_->terminated = true;
    detached = std::move(handOver_->onSignal);
    handOver_->onSignal = nullptr;
  }
  handOver_->changed.notify_all();
  port_.CancelWait();
}

void TCommEventThread::WaitFor() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TCommEventThread::Execute() {
  auto terminated = [this] {
    std::lock_guard lock(handOver_->mutex);
    return handOver_->terminated;
  };
  while (!terminated()) {
    uint32_t mask = 0;
    if (port_.WaitCommEvent(mask)) {
      Synchronize(mask);
    } else {
      // A failed wait is tried again, after a pause so that a port that
      // fails every wait does not keep a processor busy.
      std::unique_lock lock(handOver_->mutex);
      handOver_->changed.wait_for(lock, std::chrono::milliseconds(50), [&] { return handOver_->terminated; });
    }
  }
  port_.PurgeComm(CommPurge::All);
}

bool TCommEventThread::Synchronize(uint32_t mask) {
  std::shared_ptr<CommHandOver> state = handOver_;
  uint64_t ticket;
  {
    std::lock_guard lock(state->mutex);
    if (state->terminated) return false;
    ticket = ++state->posted;
  }
  dispatcher_.Post([state, ticket, mask, sender = this] {
    TSignalEvent receiver;
    {
      std::lock_guard lock(state->mutex);
      if (!state->terminated) receiver = state->onSignal;
    }
    // Releases the event thread however the receiver ends, an exception
    // included; the exception goes on to the window thread's host.
    struct Finish {
      CommHandOver& state;
      uint64_t ticket;
      ~Finish() {
        {
          std::lock_guard lock(state.mutex);
          if (state.finished < ticket) state.finished = ticket;
        }
        state.changed.notify_all();
      }
    } finish{*state, ticket};
    // The sender is alive here: only Terminate() on this very thread, which
    // must come after the check above, lets it go.
    if (receiver) receiver(sender, mask);
  });
  std::unique_lock lock(state->mutex);
  state->changed.wait(lock, [&] { return state->terminated || state->finished >= ticket; });
  return !state->terminated;
}
