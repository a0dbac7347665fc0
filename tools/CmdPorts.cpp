// kq30 ports: the serial ports this machine has, with their COM numbers and
// the adapters behind them; --json prints the same for scripts.
#include <cstdio>
#include <memory>
#include <string>

#include "Command.h"
#include "common/Printable.h"
#include "ports/PortLists.h"

namespace {
void PrintJson(const PortLists& lists) {
  std::string out = "[";
  for (int n : lists.PortNumbers) {
    const auto d = lists.PortDetails(n);
    const PortInfo& p = d->Port;
    const PortIdentity& id = p.Identity;
    std::string notes;
    for (const std::string& note : p.Notes) notes += (notes.empty() ? "" : ", ") + JsonString(note);
    out += std::string(out.size() > 1 ? "," : "") + "\n  {\"port\": " + std::to_string(n) +
           ", \"device\": " + JsonString(p.Device) + ", \"openable\": " + (d->Probe.Openable ? "true" : "false") +
           ", \"why\": " + JsonString(d->Probe.Why) + ", \"description\": " + JsonString(p.Description) +
           ", \"vendor_id\": " + JsonString(id.VendorId) + ", \"product_id\": " + JsonString(id.ProductId) +
           ", \"manufacturer\": " + JsonString(id.Manufacturer) + ", \"product\": " + JsonString(id.Product) +
           ", \"serial\": " + JsonString(id.Serial) + ", \"notes\": [" + notes + "]}";
  }
  std::printf("%s%s]\n", out.c_str(), out.size() > 1 ? "\n" : "");
}

int RunPorts(bool json) {
  auto platform = DefaultPortPlatform();
  PortLists lists(*platform);
  lists.RefreshPortLists();
  if (json) {
    PrintJson(lists);
    return 0;
  }
  if (lists.PortCount() == 0) {
    const std::string hint = platform->NoPortHint();
    std::printf("no serial port found%s\n", hint.empty() ? "" : (" (" + hint + ")").c_str());
    return 0;
  }
  for (int n : lists.PortNumbers) {
    auto d = lists.PortDetails(n);
    std::string state = d->Probe.Openable ? "openable" : "not openable (" + d->Probe.Why + ")";
    const std::string identity = IdentityText(d->Port.Identity);
    std::printf("COM%-5d %-20s %-20s %s%s\n", n, Printable(d->Port.Device).c_str(), state.c_str(),
                Printable(d->Port.Description).c_str(), identity.empty() ? "" : ("; " + identity).c_str());
    for (const std::string& note : d->Port.Notes) std::printf("         note: %s\n", Printable(note).c_str());
  }
  return 0;
}

Command::Run AddPorts(CLI::App& app) {
  auto json = std::make_shared<bool>(false);
  app.add_flag("--json", *json, "print the ports as a JSON array of objects, for scripts");
  return [json] { return RunPorts(*json); };
}

Command ports("ports",
              "list the serial ports present: COM number, device, openable or why not, description, the adapter",
              AddPorts);
}  // namespace
