#include "app/Guarded.h"

#include <QCoreApplication>
#include <exception>

#include "app/KQ30Application.h"

namespace {

void Show(const std::string& message) {
  if (auto* app = qobject_cast<KQ30Application*>(QCoreApplication::instance())) {
    app->ShowException(message);
  } else {
    qWarning("%s: %s", KQ30Application::Title, message.c_str());
  }
}

}  // namespace

void RunGuarded(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    Show(e.what());
  } catch (...) {
    Show("");
  }
}
