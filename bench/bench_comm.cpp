// The serial port over a pseudo-terminal: how long a byte written at the far
// end takes to reach OnRxChar on the window thread, and how fast Write and
// Read move data.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "comm/Comm.h"
#include "common/QueueDispatcher.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Line {
  Line() {
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    path = name;
  }
  ~Line() {
    close(master);
    close(slave);
  }
  int master = -1, slave = -1;
  std::string path;
};

// The far end of the line, reading or writing as fast as it can.
class FarEnd {
 public:
  FarEnd(int fd, bool writes) : fd_(fd), writes_(writes) {
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);  // never blocks its own stop
    thread_ = std::thread([this] { Run(); });
  }
  ~FarEnd() {
    stop_ = true;
    thread_.join();
  }

 private:
  void Run() {
    std::vector<char> buffer(65536, 'x');
    while (!stop_) {
      pollfd p{fd_, short(writes_ ? POLLOUT : POLLIN), 0};
      if (poll(&p, 1, 10) <= 0) continue;
      ssize_t n =
          writes_ ? write(fd_, buffer.data(), buffer.size()) : read(fd_, buffer.data(), buffer.size());
      (void)n;
    }
  }
  int fd_;
  bool writes_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  size_t at = std::min(values.size() - 1, size_t(p * double(values.size() - 1) + 0.5));
  return values[at];
}

void BM_ByteToOnRxChar(benchmark::State& state) {
  Line line;
  QueueDispatcher dispatcher;
  TComm comm(dispatcher);
  comm.SetDeviceName(line.path);
  Clock::time_point arrived;
  bool handled = false;
  comm.OnRxChar = [&](TThreadComm*, uint32_t count) {
    arrived = Clock::now();
    char buffer[64];
    comm.Read(buffer, int32_t(std::min<uint32_t>(count, sizeof buffer)));
    handled = true;
  };
  comm.Open();
  if (!comm.Connected()) {
    state.SkipWithError("the port did not open");
    return;
  }
  std::vector<double> micros;
  for (auto _ : state) {
    handled = false;
    auto sent = Clock::now();
    if (write(line.master, "$", 1) != 1) {
      state.SkipWithError("write failed");
      break;
    }
    if (!dispatcher.RunUntil([&] { return handled; }, std::chrono::seconds(2))) {
      state.SkipWithError("no OnRxChar");
      break;
    }
    double seconds = std::chrono::duration<double>(arrived - sent).count();
    micros.push_back(seconds * 1e6);
    state.SetIterationTime(seconds);
  }
  state.counters["median_us"] = Percentile(micros, 0.5);
  state.counters["p99_us"] = Percentile(micros, 0.99);
  state.counters["max_us"] = Percentile(micros, 1.0);
}
BENCHMARK(BM_ByteToOnRxChar)->UseManualTime()->Iterations(5000)->Unit(benchmark::kMicrosecond);

void BM_Write(benchmark::State& state) {
  Line line;
  QueueDispatcher dispatcher;
  TComm comm(dispatcher);
  comm.SetDeviceName(line.path);
  comm.SetMonitorEvents({});
  comm.SetBaudRate(br115200);
  comm.Open();
  FarEnd reader(line.master, false);
  std::vector<char> data(size_t(state.range(0)), 'A');
  int64_t bytes = 0;
  for (auto _ : state) {
    int32_t n = comm.Write(data.data(), int32_t(data.size()));
    if (n <= 0) {
      state.SkipWithError("write failed");
      break;
    }
    bytes += n;
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_Write)->Arg(512)->Arg(4096)->Arg(65536)->UseRealTime();

void BM_Read(benchmark::State& state) {
  Line line;
  QueueDispatcher dispatcher;
  TComm comm(dispatcher);
  comm.SetDeviceName(line.path);
  comm.SetMonitorEvents({});
  comm.Open();
  FarEnd writer(line.master, true);
  std::vector<char> data(size_t(state.range(0)));
  int64_t bytes = 0;
  for (auto _ : state) {
    int32_t n = comm.Read(data.data(), int32_t(data.size()));
    if (n <= 0) {
      state.SkipWithError("read failed");
      break;
    }
    bytes += n;
  }
  state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_Read)->Arg(512)->Arg(4096)->Arg(65536)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
