// kq30 ports: the serial ports this machine has, with their COM numbers.
#include <cstdio>

#include "Command.h"
#include "ports/PortLists.h"

namespace {
int RunPorts() {
  auto platform = DefaultPortPlatform();
  PortLists lists(*platform);
  lists.RefreshPortLists();
  if (lists.PortCount() == 0) {
    const std::string hint = platform->NoPortHint();
    std::printf("no serial port found%s\n", hint.empty() ? "" : (" (" + hint + ")").c_str());
    return 0;
  }
  for (int n : lists.PortNumbers) {
    auto d = lists.PortDetails(n);
    std::string state = d->Probe.Openable ? "openable" : "not openable (" + d->Probe.Why + ")";
    std::printf("COM%-5d %-20s %-20s %s\n", n, d->Port.Device.c_str(), state.c_str(),
                d->Port.Description.c_str());
  }
  return 0;
}

Command ports("ports", "list the serial ports present: COM number, device, openable or why not, description",
              [](CLI::App&) -> Command::Run { return RunPorts; });
}  // namespace
