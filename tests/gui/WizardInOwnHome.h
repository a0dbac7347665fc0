#pragma once
// The wizard's windows started in a home folder of the test's own: HOME and
// the XDG configuration point into a fresh folder without a user-dirs.dirs,
// so the documents folder, and the settings file in it, are never the real
// user's.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "ScriptedMessageBoxes.h"
#include "app/StartUp.h"

class WizardInOwnHome {
 protected:
  ScriptedMessageBoxes boxes;
  std::unique_ptr<QTemporaryDir> home;
  std::unique_ptr<WizardWindows> windows;
  TForm1* form = nullptr;

  // For the test's init(): a fresh home and no boxes seen.
  void MakeHome() {
    home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", home->path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home->filePath(".config").toLocal8Bit());
    boxes = ScriptedMessageBoxes();
  }
  // For the test's cleanup(): no box came unasked, and everything goes.
  void EndInHome() {
    QVERIFY2(!boxes.Unexpected, "a message box came that the test did not expect");
    windows.reset();
    home.reset();
  }

  QString SettingsFile() const { return home->filePath("Documents/ORVO/Bridgeset/KQ-30_Firmware.ini"); }
  // The three windows as the program starts them, the main window shown.
  void Start() {
    windows = std::make_unique<WizardWindows>(CreateWizardWindows(boxes));
    form = windows->Form1.get();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
  }
  static QByteArray Contents(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
  }
  static void Put(const QString& file, const QByteArray& text) {
    QVERIFY(QDir().mkpath(QFileInfo(file).path()));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
};
