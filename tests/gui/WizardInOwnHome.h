#pragma once
// The wizard's windows started in a home folder of the test's own: HOME and
// the XDG configuration point into a fresh folder without a user-dirs.dirs
// (on Windows the user's shell folder "Personal" points there while the test
// runs), so the documents folder, and the settings file in it, are never the
// real user's.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>
#ifdef _WIN32
#include <windows.h>
#endif

#include "ScriptedMessageBoxes.h"
#include "app/StartUp.h"

#ifdef _WIN32
// The current user's documents folder named otherwise until destroyed.
class DocumentsFolderAt {
 public:
  explicit DocumentsFolderAt(const QString& folder) {
    RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr);
    DWORD size = sizeof old_;
    hadOld_ = RegQueryValueExW(key_, L"Personal", nullptr, &oldType_, reinterpret_cast<BYTE*>(old_), &size) ==
              ERROR_SUCCESS;
    const std::wstring path = folder.toStdWString();
    RegSetValueExW(key_, L"Personal", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   DWORD((path.size() + 1) * sizeof(wchar_t)));
  }
  ~DocumentsFolderAt() {
    if (hadOld_)
      RegSetValueExW(key_, L"Personal", 0, oldType_, reinterpret_cast<const BYTE*>(old_),
                     DWORD((wcslen(old_) + 1) * sizeof(wchar_t)));
    else
      RegDeleteValueW(key_, L"Personal");
    RegCloseKey(key_);
  }
  DocumentsFolderAt(const DocumentsFolderAt&) = delete;
  DocumentsFolderAt& operator=(const DocumentsFolderAt&) = delete;

 private:
  static constexpr wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  HKEY key_ = nullptr;
  bool hadOld_ = false;
  DWORD oldType_ = REG_EXPAND_SZ;
  wchar_t old_[MAX_PATH] = {};
};
#endif

class WizardInOwnHome {
 protected:
  ScriptedMessageBoxes boxes;
  std::unique_ptr<QTemporaryDir> home;
#ifdef _WIN32
  std::optional<DocumentsFolderAt> documents;
#endif
  std::unique_ptr<WizardWindows> windows;
  TForm1* form = nullptr;

  // For the test's init(): a fresh home and no boxes seen.
  void MakeHome() {
    home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", home->path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home->filePath(".config").toLocal8Bit());
#ifdef _WIN32
    QDir(home->path()).mkdir("Documents");  // a Windows user always has one
    documents.emplace(QDir::toNativeSeparators(home->filePath("Documents")));
#endif
    boxes = ScriptedMessageBoxes();
  }
  // For the test's cleanup(): no box came unasked, and everything goes.
  void EndInHome() {
    QVERIFY2(!boxes.Unexpected, "a message box came that the test did not expect");
    windows.reset();
#ifdef _WIN32
    documents.reset();
#endif
    home.reset();
  }

  // In the system's spelling, as the window names it.
  QString SettingsFile() const {
    return QDir::toNativeSeparators(home->filePath("Documents/ORVO/Bridgeset/KQ-30_Firmware.ini"));
  }
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
