// The three languages on the windows: started with a saved language, changed
// through the language entries, and every translated caption inside its
// control at the window's fixed size.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
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
  // Why text does not fit the control w, or nothing: a label that wraps
  // its text must be high enough for its lines, anything else wide enough.
  static QString Misfit(QWidget* w, const QString& text) {
    w->ensurePolished();
    auto* label = qobject_cast<QLabel*>(w);
    if (label && label->wordWrap()) {
      const QString before = label->text();
      label->setText(text);
      const int needed = label->heightForWidth(label->width());
      label->setText(before);
      if (needed <= label->height()) return {};
      return QStringLiteral("%1: \"%2\" needs %3 px of %4 in height")
          .arg(w->objectName(), text)
          .arg(needed)
          .arg(label->height());
    }
    const QString before = Caption(w);
    if (label) label->setText(text);
    const int needed = Needed(w, text);
    if (label) label->setText(before);
    if (needed <= w->width()) return {};
    return QStringLiteral("%1: \"%2\" needs %3 px of %4")
        .arg(w->objectName(), text)
        .arg(needed)
        .arg(w->width());
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
                                 << QString::fromUtf8("序列埠") << QString::fromUtf8("確定")
                                 << QString::fromUtf8("韌體") << QString::fromUtf8("確定要結束程式嗎？")
                                 << QString::fromUtf8("結束！");
    QTest::newRow("Simplified") << QByteArray("2") << 2 << "mnuLangSimpChinese" << QString::fromUtf8("连接")
                                << QString::fromUtf8("串口") << QString::fromUtf8("确定")
                                << QString::fromUtf8("固件") << QString::fromUtf8("确定要退出程序吗？")
                                << QString::fromUtf8("退出！");
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
    boxes.Answers = {MsgResult::OK};
    QVERIFY(form->close());
    QCOMPARE(QString::fromStdString(boxes.Shown.at(0).Text), queryExit);
    QCOMPARE(QString::fromStdString(boxes.Shown.at(0).Caption), exitCaption);
  }

  // Every text of the pages, the dialogs and the progress page in the three
  // languages: one row per place, its English, Traditional and Simplified
  // Chinese text. English is the text as it has always been.
  void every_text_follows_the_language_data() {
    QTest::addColumn<QByteArray>("setting");
    QTest::addColumn<int>("column");
    QTest::newRow("English") << QByteArray("0") << 0;
    QTest::newRow("Traditional") << QByteArray("1") << 1;
    QTest::newRow("Simplified") << QByteArray("2") << 2;
  }
  void every_text_follows_the_language() {
    // A control's caption, a window's title ("Form1", "frmAbout"), the
    // tool tip of "SpeedButtonStart/toolTip", or a message text of the
    // core by its key ("@Section/Key").
    static const struct {
      const char* place;
      const char* text[3];
    } table[] = {
        {"Form1", {"KQ-30 Firmware Upgrade", "KQ-30 韌體更新", "KQ-30 固件升级"}},
        {"StaticText2",
         {"Welcome to KQ-30 Firmware Upgrade", "歡迎使用 KQ-30 韌體更新", "欢迎使用 KQ-30 固件升级"}},
        {"StaticTextStartTitle",
         {"Please check below items before starting KQ-30 Firmware Upgrade:",
          "開始 KQ-30 韌體更新前，請先確認下列事項：", "开始 KQ-30 固件升级前，请先检查以下事项："}},
        {"StaticTextStartDescription1",
         {"Please connect KQ-30 to PC by NMEA-0183 port.", "請以 KQ-30 的 NMEA-0183 序列埠連接電腦。",
          "请通过 KQ-30 的 NMEA-0183 串口连接电脑。"}},
        {"SpeedButtonStart", {"Start", "開始", "开始"}},
        {"SpeedButtonStart/toolTip", {"Start the Firmware Upgrade", "開始韌體更新", "开始固件升级"}},
        {"SpeedButtonExit1", {"Exit", "結束", "退出"}},
        {"LabelConnectDeviceTitle",
         {"Serial Port and Baud Rate Setting", "序列埠與鮑率設定", "串口与波特率设置"}},
        {"StaticTextSerialPortNote1",
         {"Select appropriate serial port and baud rate!", "請選擇正確的序列埠與鮑率！",
          "请选择正确的串口与波特率！"}},
        {"SB_COMPortDetectContinue", {"Continue", "繼續", "继续"}},
        {"LabelConnectionStatus", {"Disconnect...", "未連線…", "未连接…"}},
        {"@CONFIG_SERIAL_PORT/NotAvailable", {"N/A", "無", "无"}},
        {"LabelFrmVerTitle", {" Check Firmware Version", "檢查韌體版本", "检查固件版本"}},
        {"LabelFrmVerFile", {"Firmware File", "韌體檔案", "固件文件"}},
        {"LabelFrmVerNew2", {"New :", "新版：", "新版："}},
        {"LabelFrmVerWantToContinue", {"Do you want to continue?", "要繼續嗎？", "是否继续？"}},
        {"SpeedButtonFrmVerWantToContinueYes", {"Yes", "是", "是"}},
        {"LabelProgressTitle", {"Firmware Upgrade", "韌體更新", "固件升级"}},
        {"StaticText1",
         {"   Upgrade in process!               Please wait a moment", "韌體更新中！請稍候。",
          "固件升级中！请稍候。"}},
        {"LabelProgressStatusText", {"Firmware Status:", "韌體狀態：", "固件状态："}},
        {"SpeedButtonFrmUpgFinish", {"Finish", "完成", "完成"}},
        {"@UPGRADE/Programming_Dots", {"Programming....", "寫入中……", "正在写入……"}},
        {"@UPGRADE/Success", {"Success!!", "更新成功！", "升级成功！"}},
        {"@UPGRADE/Seconds_Left", {"About %1 s left", "約剩 %1 秒", "大约还剩 %1 秒"}},
        {"@UPGRADE/VerifyFail", {"Verify Fail!! ", "驗證失敗！", "校验失败！"}},
        {"@RESCUE/Question",
         {"Write the firmware %1 into it now? Keep the unit powered and connected until it is done.",
          "現在要將韌體 %1 寫入這台裝置嗎？完成之前，請保持裝置通電並維持連線。",
          "现在将固件 %1 写入该设备吗？完成之前，请保持设备通电并保持连接。"}},
        {"SpeedButton_WritePICFlash", {"Write Flash", "寫入快閃記憶體", "写入闪存"}},
        {"@TAB_BAUD/EraseSuccess", {"Erase Success!!", "清除成功！", "擦除成功！"}},
        {"frmAbout", {"About", "關於", "关于"}},
        {"StaticText1@frmAbout", {"Firmware Upgrade ", "韌體更新", "固件升级"}},
    };
    QFETCH(QByteArray, setting);
    QFETCH(int, column);
    StartWithSetting(setting);
    for (const auto& row : table) {
      const QString place = QString::fromUtf8(row.place);
      QString shown;
      if (place == QLatin1String("Form1"))
        shown = form->windowTitle();
      else if (place == QLatin1String("frmAbout"))
        shown = windows->frmAbout->windowTitle();
      else if (place == QLatin1String("SpeedButtonStart/toolTip"))
        shown = Find(form, "SpeedButtonStart")->toolTip();
      else if (place == QLatin1String("StaticText1@frmAbout"))
        shown = Caption(Find(windows->frmAbout.get(), "StaticText1"));
      else if (place.startsWith(QLatin1Char('@'))) {
        const QStringList key = place.mid(1).split(QLatin1Char('/'));
        auto found = std::find_if(LanguageRows.begin(), LanguageRows.end(), [&](const LanguageRow& r) {
          return r.Text && key == QStringList{QLatin1String(r.Section), QLatin1String(r.Key)};
        });
        QVERIFY2(found != LanguageRows.end(), row.place);
        shown = QString::fromStdString(*found->Text(form->Core->Texts));
      } else
        shown = Caption(Find(form, row.place));
      QCOMPARE(shown, QString::fromUtf8(row.text[column]));
    }
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
        if (QByteArray(row.Control) == row.Window) continue;  // the window's title
        auto* w = owner->findChild<QWidget*>(row.Control);
        if (!w) {  // a menu entry, which shows no caption of its own
          QVERIFY2(owner->findChild<QAction*>(row.Control), row.Control);
          continue;
        }
        if (qobject_cast<QGroupBox*>(w) || (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w)))
          continue;  // menus and pages show no caption; the group box below
        const QString misfit = Misfit(w, Caption(w));
        QVERIFY2(misfit.isEmpty(), qPrintable(QString::fromLatin1(entry) + QLatin1Char(' ') + misfit));
      }
      // The progress page's texts, which the upgrade sets.
      const LanguageTexts& t = form->Core->Texts;
      const std::pair<const char*, std::string> shownByCode[] = {
          {"LabelProgressStatusText", t.FirmwareStatus},
          {"LabelProgressStatusText", t.ProgrammingDots},
          {"LabelProgressStatusText", t.VerifyingDots},
          {"LabelProgressStatusText", t.Success},
          {"StaticText1", t.UpgradeInProcess},
          {"StaticText1", t.UpgradeFinished},
          {"LabelProgressTimeLeft", FillIn(t.MinutesLeft, {"120"})}};
      for (const auto& [control, text] : shownByCode) {
        const QString misfit = Misfit(Find(form, control), QString::fromStdString(text));
        QVERIFY2(misfit.isEmpty(), qPrintable(QString::fromLatin1(entry) + QLatin1Char(' ') + misfit));
      }
      auto* group = Find<QGroupBox>(form, "GroupBoxConnectionMode");
      QVERIFY(group->fontMetrics().horizontalAdvance(group->title()) + 16 <= group->width());
    }
    QCOMPARE(Text("OpenPort"), QStringLiteral("Connect"));
    // English back: every caption and title as the windows were designed,
    // to the byte (windows that no language has touched yet).
    TForm1 designed(boxes);
    TfrmAbout about;
    TfrmAgreement agreement;
    for (const LanguageRow& row : LanguageRows) {
      if (!row.Control) continue;
      const QByteArray window(row.Window);
      QWidget* now = window == "Form1"      ? static_cast<QWidget*>(form)
                     : window == "frmAbout" ? static_cast<QWidget*>(windows->frmAbout.get())
                                            : static_cast<QWidget*>(windows->frmAgreement.get());
      QWidget* design = window == "Form1"      ? static_cast<QWidget*>(&designed)
                        : window == "frmAbout" ? static_cast<QWidget*>(&about)
                                               : static_cast<QWidget*>(&agreement);
      auto shown = [&](QWidget* w) {
        if (window == row.Control) return w->windowTitle();
        if (auto* entry = w->findChild<QAction*>(row.Control)) return entry->text();
        if (auto* menu = w->findChild<QMenu*>(row.Control)) return menu->title();
        if (auto* c = w->findChild<QWidget*>(row.Control))
          return Caption(c).isNull() ? c->windowTitle() : Caption(c);
        return QStringLiteral("<no %1>").arg(QLatin1String(row.Control));
      };
      QCOMPARE(shown(now), shown(design));
    }
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
