#pragma once
// The background thread of an open port: it waits on the port for line
// events and hands each wake-up to the window thread, waiting there until
// the port's events have run. One per open; Close() ends it.
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "comm/CommTypes.h"

class SerialDevice;
class WindowDispatcher;
struct CommHandOver;

class TCommEventThread {
 public:
  using TSignalEvent = std::function<void(TCommEventThread* Sender, uint32_t EvtMask)>;

  // Sets the port's wait mask to the monitored events; the thread starts
  // with Resume().
  TCommEventThread(SerialDevice& port, uint32_t suspendTime, TCommEventTypes events,
                   WindowDispatcher& dispatcher);
  // Ends the thread (Terminate, then waits for it).
  virtual ~TCommEventThread();
  TCommEventThread(const TCommEventThread&) = delete;
  TCommEventThread& operator=(const TCommEventThread&) = delete;

  // The receiver of each wake-up; runs on the window thread.
  void SetOnSignal(TSignalEvent onSignal);
  void Resume();

  // Detaches the receiver, releases a hand-over that waits for the window
  // thread and breaks the wait on the port. Returns at once, on any thread;
  // no receiver runs after it has returned. A notification that is still
  // queued for the window thread does nothing when it runs.
  void Terminate();
  // Waits for the thread to end. Can't hang after Terminate(), also not on
  // the window thread while a notification for it is pending.
  void WaitFor();

  uint32_t SuspendTime() const { return suspendTime_; }

 protected:
  virtual void Execute();

 private:
  // Runs the notification for mask on the window thread and returns once it
  // has run, or false as soon as the thread is terminated.
  bool Synchronize(uint32_t mask);

  SerialDevice& port_;
  const uint32_t suspendTime_;  // kept, not used
  WindowDispatcher& dispatcher_;
  std::shared_ptr<CommHandOver> handOver_;
  std::thread thread_;
};
