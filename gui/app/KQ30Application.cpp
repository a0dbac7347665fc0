#include "app/KQ30Application.h"

#include <QFont>
#include <exception>

#include "common/MessageBoxes.h"

void InstallFontSubstitutes() {
  const QString cjk = QStringLiteral("WenQuanYi Micro Hei");
  const QString sans = QStringLiteral("Liberation Sans");
  const QString serif = QStringLiteral("Liberation Serif");
  for (const char* family : {"Arial", "MS Sans Serif", "Arial Unicode MS", "Tahoma"})
    QFont::insertSubstitutions(QString::fromLatin1(family), {sans, cjk});
  QFont::insertSubstitutions(QStringLiteral("Times New Roman"), {serif, cjk});
}

void InitWizardResources() { Q_INIT_RESOURCE(kq30); }

KQ30Application::KQ30Application(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QString::fromLatin1(Title));
  // The desktop entry the installed wizard belongs to: a desktop shows its
  // windows under that entry's name and icon.
  setDesktopFileName(QStringLiteral("example.orvo.KQ30FirmwareUpgrade"));
  InitWizardResources();
  InstallFontSubstitutes();
}

void KQ30Application::ShowException(const std::string& message) {
  if (boxes_) {
    boxes_->Show(message, Title, MsgButtons::OK, MsgIcon::Error);
  } else {
    qWarning("%s: %s", Title, message.c_str());
  }
}

bool KQ30Application::notify(QObject* receiver, QEvent* event) {
  // Everything the wizard does runs from here: clicks, timer ticks, queued
  // calls from the serial port's thread. What escapes is shown, and the
  // event loop goes on with the next event.
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowException(e.what());
  } catch (...) {
    ShowException("");
  }
  return false;
}
