#include "ports/PortInfo.h"

#include "common/Printable.h"

std::string IdentityText(const PortIdentity& id) {
  std::string text;
  const auto add = [&text](const std::string& part) {
    if (part.empty()) return;
    if (!text.empty()) text += ' ';
    text += Printable(part);
  };
  if (!id.VendorId.empty() || !id.ProductId.empty())
    add("USB " + (id.VendorId.empty() ? "?" : id.VendorId) + ":" + (id.ProductId.empty() ? "?" : id.ProductId));
  add(id.Manufacturer);
  add(id.Product);
  if (!id.Serial.empty()) text += (text.empty() ? "serial " : ", serial ") + Printable(id.Serial);
  return text;
}
