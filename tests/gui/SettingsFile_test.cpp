// The settings file as the main window uses it: the language read at start-up
// and written on a confirmed close, in a home folder of the test's own.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "GuiTestMain.h"
#include "ScriptedMessageBoxes.h"
#include "app/StartUp.h"

class SettingsFileTest : public QObject {
  Q_OBJECT

  ScriptedMessageBoxes boxes;
  std::unique_ptr<QTemporaryDir> home;
  std::unique_ptr<WizardWindows> windows;
  TForm1* form = nullptr;

  QString SettingsFile() const { return home->filePath("Documents/ORVO/Bridgeset/KQ-30_Firmware.ini"); }
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

 private slots:
  void init() {
    // Never the real user's documents: HOME and the XDG configuration are
    // this test's own folder, without a user-dirs.dirs, so the documents
    // folder is $HOME/Documents.
    home = std::make_unique<QTemporaryDir>();
    qputenv("HOME", home->path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home->filePath(".config").toLocal8Bit());
    boxes = ScriptedMessageBoxes();
  }

  void cleanup() {
    QVERIFY2(!boxes.Unexpected, "a message box came that the test did not expect");
    windows.reset();
    home.reset();
  }

  void first_start_makes_the_settings_folder_and_the_first_close_the_file() {
    Start();
    QCOMPARE(QString::fromStdString(form->SettingsFile), SettingsFile());
    QVERIFY(QFileInfo(SettingsFile()).dir().exists());
    QCOMPARE(form->LanguageIndex, 0);
    QVERIFY(!QFile::exists(SettingsFile()));
    boxes.Answers = {MsgResult::OK};
    QVERIFY(form->close());
    QCOMPARE(Contents(SettingsFile()), QByteArray("[VIEW]\nLanguage=0\n"));
  }

  void language_is_read_at_start_up_and_written_on_a_confirmed_close_only() {
    Put(SettingsFile(), "; mine\n[VIEW]\nLanguage=0x2\n");
    Start();
    QCOMPARE(form->LanguageIndex, 2);
    boxes.Answers = {MsgResult::Cancel};
    QVERIFY(!form->close());
    QCOMPARE(Contents(SettingsFile()), QByteArray("; mine\n[VIEW]\nLanguage=0x2\n"));
    form->LanguageIndex = 1;  // as the language entries set it
    boxes.Answers = {MsgResult::OK};
    QVERIFY(form->close());
    QCOMPARE(Contents(SettingsFile()), QByteArray("; mine\n[VIEW]\nLanguage=1\n"));
  }

  void an_unwritable_settings_file_is_reported_and_the_window_still_closes() {
    Put(SettingsFile(), "[VIEW]\nLanguage=0\n");
    QVERIFY(QFile::setPermissions(SettingsFile(), QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    Start();
    QCOMPARE(form->LanguageIndex, 0);
    form->LanguageIndex = 1;
    boxes.Answers = {MsgResult::OK, MsgResult::OK};
    QVERIFY(form->close());
    QVERIFY(!form->isVisible());
    QCOMPARE(boxes.Shown.size(), size_t(2));
    QCOMPARE(boxes.Shown[1].Text, "Unable to write to " + SettingsFile().toStdString());
    QCOMPARE(boxes.Shown[1].Caption, std::string("Error"));
    QCOMPARE(boxes.Shown[1].Buttons, MsgButtons::OK);
    QCOMPARE(boxes.Shown[1].Icon, MsgIcon::Error);
    QCOMPARE(Contents(SettingsFile()), QByteArray("[VIEW]\nLanguage=0\n"));
  }
};

KQ30_GUI_TEST_MAIN(SettingsFileTest)
#include "SettingsFile_test.moc"
