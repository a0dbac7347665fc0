// The three languages on the windows: started with a saved language, changed
// through the language entries, and every translated caption inside its
// control at the window's fixed size.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <fstream>

#include "FindControl.h"
#include "GuiTestMain.h"
#include "WizardInOwnHome.h"
#include "app/QtMessageBoxes.h"
#include "lang/LanguageFile.h"

class LanguageTest : public QObject, WizardInOwnHome {
  Q_OBJECT

  void StartWithSetting(const QByteArray& language) {
    Put(SettingsFile(), "[VIEW]\nLanguage=" + language + "\n");
    Start();
  }
  QString Text(const char* name) const {
    QObject* o = form->findChild<QObject*>(name);
    if (!o) o = windows->frmAbout->findChild<QObject*>(name);
    if (!o) o = windows->frmAgreement->findChild<QObject*>(name);
    if (auto* w = qobject_cast<QWidget*>(o)) return Caption(w);
    return QStringLiteral("<no %1>").arg(QLatin1String(name));
  }
  // The width a caption needs: a button's size hint has margins and a floor
  // of its own, so for buttons the text (and picture) itself must fit.
  static int Needed(QWidget* w, const QString& text) {
    const int textWidth = w->fontMetrics().horizontalAdvance(text);
    if (auto* tool = qobject_cast<QToolButton*>(w)) return textWidth + tool->iconSize().width() + 8;
    if (qobject_cast<QPushButton*>(w)) return textWidth + 12;
    return w->sizeHint().width();
  }
  QString ReadMe() const { return Find<QPlainTextEdit>(windows->frmAbout.get(), "Memo1")->toPlainText(); }

 private slots:
  void init() { MakeHome(); }
  void cleanup() { EndInHome(); }

  void starts_in_the_saved_language_data() {
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("connect");
    QTest::addColumn<QString>("serialPort");
    QTest::addColumn<QString>("ok");
    QTest::addColumn<QString>("readMe");
    QTest::addColumn<QString>("queryExit");
    QTest::addColumn<QString>("exitCaption");
    QTest::newRow("Traditional") << QByteArray("1") << 1 << "mnuLangTraChinese" << QString::fromUtf8("連線")
                                 << QString::fromUtf8("序列埠") << QString::fromUtf8("確定") << QString::fromUtf8("韌體")
                                 << QString::fromUtf8("確定要結束程式嗎？") << QString::fromUtf8("結束!");
    QTest::newRow("Simplified") << QByteArray("2") << 2 << "mnuLangSimpChinese" << QString::fromUtf8("连接")
                                << QString::fromUtf8("串口") << QString::fromUtf8("确定") << QString::fromUtf8("固件")
                                << QString::fromUtf8("确定要退出程序吗？") << QString::fromUtf8("退出!");
    // Any other index is English, and English is what the next close saves.
    QTest::newRow("out of range") << QByteArray("7") << 0 << "mnuLangEnglish" << "Connect" << "Serial Port" << "OK"
                                  << "KQ-30.bin" << "Are you sure to exit?" << "Exit!";
  }
  void starts_in_the_saved_language() {
    QFETCH(QByteArray, setting);
    QFETCH(int, index);
    QFETCH(QString, entry);
    QFETCH(QString, serialPort);
    QFETCH(QString, readMe);
    QFETCH(QString, queryExit);
    QFETCH(QString, exitCaption);
    StartWithSetting(setting);
    QCOMPARE(form->LanguageIndex, index);
    QVERIFY(Find<QAction>(form, qPrintable(entry))->isChecked());
    QTEST(Text("OpenPort"), "connect");
    QCOMPARE(Text("lblSerialPort"), serialPort);
    QCOMPARE(Text("LabelAutoComPort"), serialPort);
    QTEST(Text("btnOK"), "ok");
    QVERIFY2(ReadMe().contains(readMe), qPrintable(ReadMe()));
    QVERIFY(!ReadMe().contains(QChar::ReplacementCharacter));
    // The wizard's own buttons keep their English captions.
    QCOMPARE(Text("SpeedButtonStart"), QStringLiteral("Start"));
    boxes.Answers = {MsgResult::OK};
    QVERIFY(form->close());
    QCOMPARE(QString::fromStdString(boxes.Shown.at(0).Text), queryExit);
    QCOMPARE(QString::fromStdString(boxes.Shown.at(0).Caption), exitCaption);
  }

  // Without the language files every text stays English, and the entry
  // chosen is still what the next close saves.
  void no_language_folder_keeps_english_and_the_choice() {
    StartWithSetting("0");
    QTemporaryDir empty;
    form->ProgramDir = empty.path().toStdString() + "/";
    Find<QAction>(form, "mnuLangTraChinese")->trigger();
    QCOMPARE(form->LanguageIndex, 1);
    QCOMPARE(Text("OpenPort"), QStringLiteral("Connect"));
    QCOMPARE(Text("GroupBoxConnectionMode"), QStringLiteral("Serial Port and Baud Rate Setting"));
    QVERIFY(ReadMe().contains(QStringLiteral("KQ-30.bin")));
    boxes.Answers = {MsgResult::OK};
    QVERIFY(form->close());
    QCOMPARE(QString::fromStdString(boxes.Shown.at(0).Text), QStringLiteral("Are you sure to exit?"));
    QCOMPARE(Contents(SettingsFile()), QByteArray("[VIEW]\nLanguage=1\n"));
  }

  // Every caption the language files set fits its control in every language,
  // and English comes back whole after a Chinese language.
  void every_caption_fits_its_control() {
    StartWithSetting("0");
    for (const char* entry : {"mnuLangTraChinese", "mnuLangSimpChinese", "mnuLangEnglish"}) {
      Find<QAction>(form, entry)->trigger();
      for (const LanguageRow& row : LanguageRows) {
        if (!row.Control) continue;
        QWidget* owner = QByteArray(row.Window) == "Form1"      ? static_cast<QWidget*>(form)
                         : QByteArray(row.Window) == "frmAbout" ? static_cast<QWidget*>(windows->frmAbout.get())
                                                                : static_cast<QWidget*>(windows->frmAgreement.get());
        auto* w = owner->findChild<QWidget*>(row.Control);
        if (!w) {  // a menu entry, which shows no caption of its own
          QVERIFY2(owner->findChild<QAction*>(row.Control), row.Control);
          continue;
        }
        if (qobject_cast<QGroupBox*>(w) || (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w)))
          continue;  // menus and pages show no caption; the group box below
        w->ensurePolished();
        const int needed = Needed(w, Caption(w));
        QVERIFY2(needed <= w->width(),
                 qPrintable(QStringLiteral("%1 %2: \"%3\" needs %4 px of %5").arg(entry, row.Control, Caption(w))
                                .arg(needed).arg(w->width())));
      }
      auto* group = Find<QGroupBox>(form, "GroupBoxConnectionMode");
      QVERIFY(group->fontMetrics().horizontalAdvance(group->title()) + 16 <= group->width());
    }
    QCOMPARE(Text("OpenPort"), QStringLiteral("Connect"));
  }

  // A Chinese language puts its fonts behind the family of every control
  // that draws a language-file text with the three fonts, and English takes
  // them away again.
  void the_language_fonts_reach_the_drawn_controls() {
    StartWithSetting("0");
    QWidget* const controls[] = {Find<QWidget>(form, "OpenPort"), Find<QWidget>(form, "lblSerialPort"),
                                 Find<QWidget>(form, "GroupBoxConnectionMode"),
                                 Find<QWidget>(form, "LabelConnectionStatus"),
                                 Find<QWidget>(windows->frmAbout.get(), "Memo1")};
    auto families = [](QWidget* w) {
      w->ensurePolished();
      return w->font().families();
    };
    QList<QStringList> english;
    for (QWidget* w : controls) english << families(w);
    for (const char* entry : {"mnuLangTraChinese", "mnuLangSimpChinese", "mnuLangEnglish"}) {
      Find<QAction>(form, entry)->trigger();
      const bool chinese = QByteArray(entry) != "mnuLangEnglish";
      for (int i = 0; i < english.size(); ++i) {
        const QStringList got = families(controls[i]);
        const QString what = QStringLiteral("%1 %2: %3").arg(entry, controls[i]->objectName(), got.join(", "));
        QVERIFY2(english[i].size() == 1 && got.first() == english[i].first(), qPrintable(what));
        QVERIFY2(got.contains(QStringLiteral("WenQuanYi Micro Hei")) == chinese, qPrintable(what));
        QVERIFY2(chinese || got.size() == 1, qPrintable(what));
      }
    }
  }

  // The program's folder may be named in 8-bit text that is no UTF-8.
  void read_me_beside_a_program_in_a_folder_not_named_in_utf8() {
    StartWithSetting("0");
    const std::string folder = QFile::encodeName(home->path()).toStdString() + "/Programm-\xE4/";
    std::filesystem::create_directories(folder + "Lang");
    std::ofstream(folder + "Lang/ReadMe-EN.txt", std::ios::binary) << "read-me beside the program\r\n";
    form->ProgramDir = folder;
    Find<QAction>(form, "mnuLangEnglish")->trigger();
    const QString readMe = ReadMe();
    std::filesystem::remove_all(folder);  // a name QTemporaryDir can't spell
    QCOMPARE(readMe, QStringLiteral("read-me beside the program"));
  }

  // Message boxes show a language-file text as it is, never as markup, and
  // their standard buttons in the language.
  void message_boxes_speak_the_language_in_plain_text_data() {
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("buttons");
    QTest::newRow("Traditional") << QByteArray("1") << QString() << QStringList{"確定", "取消"};
    QTest::newRow("Simplified") << QByteArray("2") << QString() << QStringList{"确定", "取消"};
    QTest::newRow("back to English") << QByteArray("1") << "mnuLangEnglish" << QStringList{"OK", "Cancel"};
  }
  void message_boxes_speak_the_language_in_plain_text() {
    QFETCH(QByteArray, setting);
    QFETCH(QString, entry);
    StartWithSetting(setting);
    if (!entry.isEmpty()) Find<QAction>(form, qPrintable(entry))->trigger();
    QStringList buttons;
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
          for (QAbstractButton* button : box->buttons()) buttons << button->text().remove(QLatin1Char('&'));
          format = box->textFormat();
          box->reject();
        }
    });
    QtMessageBoxes().Show("<img src=\":/images/logo.jpg\">", "Error", MsgButtons::OKCancel, MsgIcon::Error);
    QTEST(buttons, "buttons");
    QCOMPARE(format, Qt::PlainText);
  }
};

KQ30_GUI_TEST_MAIN(LanguageTest)
#include "Language_test.moc"
