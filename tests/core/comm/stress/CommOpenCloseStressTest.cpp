// A thousand opens and closes of a port while the far end floods it with
// bytes: closing at every moment of the event thread's life (waiting on the
// port, blocked in its hand-over to this thread, inside a handler) must never
// hang, leak, race or raise an event after the close.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "comm/Comm.h"
#include "core/comm/TestSupport.h"
#include "common/QueueDispatcher.h"

using namespace std::chrono_literals;

namespace {

class Flood {
 public:
  explicit Flood(int fd) : fd_(fd), thread_([this] { Run(); }) {}
  ~Flood() {
    stop_ = true;
    thread_.join();
  }
  uint64_t Sent() const { return sent_; }

 private:
  void Run() {
    char chunk[97];
    for (size_t i = 0; i < sizeof chunk; ++i) chunk[i] = char('!' + i % 90);
    while (!stop_) {
      ssize_t n = write(fd_, chunk, sizeof chunk);
      if (n > 0) {
        sent_ += uint64_t(n);
      } else {
        pollfd p{fd_, POLLOUT, 0};
        poll(&p, 1, 1);
      }
    }
  }
  int fd_;
  std::atomic<bool> stop_{false};
  std::atomic<uint64_t> sent_{0};
  std::thread thread_;
};

TEST(CommOpenCloseStress, ThousandCyclesWhileTheFarEndFloods) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

  QueueDispatcher dispatcher;
  TComm comm(dispatcher);
  comm.SetDeviceName(name);
  int afterClose = 0;  // events raised on a closed port: must stay 0
  uint64_t received = 0;
  int rxEvents = 0;
  bool closeInHandler = false;
  comm.OnRxChar = [&](TThreadComm*, uint32_t count) {
    if (!comm.Connected()) ++afterClose;
    ++rxEvents;
    char buffer[4096];
    int32_t n = comm.Read(buffer, int32_t(std::min<uint32_t>(count, sizeof buffer)));
    if (n > 0) received += uint64_t(n);
    if (closeInHandler) comm.Close();
  };
  comm.OnComStatEvent = [&](TThreadComm*, uint32_t, ComStat) {
    if (!comm.Connected()) ++afterClose;
  };

  comm.Open();
  comm.Close();
  dispatcher.RunPending();
  const int descriptors = OpenDescriptors();
  const auto start = std::chrono::steady_clock::now();
  {
    Flood flood(master);
    for (int cycle = 0; cycle < 1000; ++cycle) {
      closeInHandler = cycle % 4 == 3;
      comm.Open();
      ASSERT_TRUE(comm.Connected()) << "cycle " << cycle;
      switch (cycle % 4) {
        case 0:  // handlers run for a while
          dispatcher.RunFor(1ms);
          break;
        case 1:  // close at once: the event thread waits on the port or in its hand-over
          break;
        case 2:  // close once the event thread is sure to wait for this thread
          for (int i = 0; i < 200 && dispatcher.Queued() == 0; ++i) std::this_thread::sleep_for(50us);
          break;
        case 3:  // a handler closes the port
          dispatcher.RunUntil([&] { return !comm.Connected(); }, 200ms);
          break;
      }
      comm.Close();
      // Notifications still queued from this cycle find no receiver.
      dispatcher.RunPending();
    }
    EXPECT_GT(flood.Sent(), 0u);
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(afterClose, 0);
  EXPECT_GT(rxEvents, 0);
  EXPECT_GT(received, 0u);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_LT(elapsed, 120s);
  close(master);
  close(slave);
}

}  // namespace
