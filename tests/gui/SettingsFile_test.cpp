// The settings file as the main window uses it: the language read at start-up
// and written on a confirmed close, in a home folder of the test's own.
#include "GuiTestMain.h"
#include "WizardInOwnHome.h"

class SettingsFileTest : public QObject, WizardInOwnHome {
  Q_OBJECT

 private slots:
  void init() { MakeHome(); }
  void cleanup() { EndInHome(); }

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
