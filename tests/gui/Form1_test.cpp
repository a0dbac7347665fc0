// The main window: its layout as built, the start-up page, and every
// navigation button, with message boxes answered from a script.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "FindControl.h"
#include "GuiTestMain.h"
#include "ScriptedMessageBoxes.h"
#include "app/StartUp.h"
#ifdef KQ30_SIMULATED_UNIT
#include "sim/SimulatedUnit.h"
#endif

namespace {

// A key pressed as the user presses it: to the window that has the focus,
// from where the application hands it to the focused control.
void Press(Qt::Key key) { QTest::keyClick(static_cast<QWidget*>(nullptr), key); }

QString Focused() {
  return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

// What a screen reader calls a control. Qt on Linux names a list by its
// value and hands its label over as the relation AT-SPI reports as
// "labelled by", which the screen reader says first.
QString SpokenName(QAccessibleInterface* control) {
#ifdef Q_OS_UNIX
  if (control->role() == QAccessible::ComboBox) {
    const auto labels = control->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
  }
#endif
  return control->text(QAccessible::Name);
}

}  // namespace

class Form1Test : public QObject {
  Q_OBJECT

  ScriptedMessageBoxes boxes;
  std::unique_ptr<QTemporaryDir> portFolder;
  std::unique_ptr<WizardWindows> windows;
  TForm1* form = nullptr;

#ifdef KQ30_SIMULATED_UNIT
  // A simulated unit linked into this test's port folder as COM3.
  std::unique_ptr<SimulatedUnit> StartUnit(unsigned baud) {
    SimOptions o;
    o.PortFolder = portFolder->path().toStdString();
    o.PortNumber = 3;
    o.Baud = baud;
    o.VersionText = "1.05";
    auto unit = std::make_unique<SimulatedUnit>(o);
    unit->Start();
    return unit;
  }
#endif
  // Picks port 3 at the position given of the rate list, as a user does.
  void ChoosePort3(int ratePosition) {
    auto* ports = Find<QComboBox>(form, "cbxComPort");
    QVERIFY(QTest::qWaitFor([&] { return ports->findText("3") >= 0; }, 5000));
    ports->setCurrentIndex(ports->findText("3"));
    emit ports->activated(ports->currentIndex());
    auto* rates = Find<QComboBox>(form, "cbxBaudRate");
    rates->setCurrentIndex(ratePosition);
    emit rates->activated(ratePosition);
  }

  // The windows made anew in a folder holding the sample firmware file, or
  // none: the wizard reads KQ-30.bin from the folder it was started in.
  void RestartIn(const QTemporaryDir& folder, bool withFirmware) {
    if (withFirmware && !*KQ30_SAMPLE_FIRMWARE) QSKIP("no sample firmware in this build");
    if (withFirmware) QVERIFY(QFile::copy(KQ30_SAMPLE_FIRMWARE, folder.filePath("KQ-30.bin")));
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder.path());
    windows.reset();
    windows = std::make_unique<WizardWindows>(CreateWizardWindows(boxes));
    form = windows->Form1.get();
    QDir::setCurrent(before);
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
  }
  // From the welcome page to the version page, connected to the unit on COM3.
  void ConnectAndContinue() {
    Click("SpeedButtonStart");
    ChoosePort3(4);  // 115200: the upgrade reopens the port at 38400
    Click("OpenPort");
    auto* status = Find<QLabel>(form, "LabelConnectionStatus");
    QVERIFY(QTest::qWaitFor([&] { return status->text() == QStringLiteral("Connected..."); }, 5000));
    Click("SB_COMPortDetectContinue");
    QCOMPARE(Page(), QStringLiteral("TabSheetCheckVersion"));
  }

  QString Page() const { return Find<QStackedWidget>(form, "PageControlConf")->currentWidget()->objectName(); }
  void Click(const char* name) {
    QWidget* w = Find(form, name);
    // A radio button answers clicks on its circle and caption only.
    const QPoint at = qobject_cast<QRadioButton*>(w) ? QPoint(8, w->height() / 2) : w->rect().center();
    QTest::mouseClick(w, Qt::LeftButton, {}, at);
  }

 private slots:
  void init() {
    // A port folder of this test's own, and no kernel serial ports: the
    // wizard sees exactly the ports a test links.
    portFolder = std::make_unique<QTemporaryDir>();
    qputenv("KQ30_PORT_DIR", portFolder->path().toLocal8Bit());
    qputenv("KQ30_NO_KERNEL_PORTS", "1");
    boxes = ScriptedMessageBoxes();
    windows = std::make_unique<WizardWindows>(CreateWizardWindows(boxes));
    form = windows->Form1.get();
    form->show();
    QVERIFY(QTest::qWaitForWindowExposed(form));
  }

  void cleanup() {
    QVERIFY2(!boxes.Unexpected, "a message box came that the test did not expect");
    windows.reset();
    portFolder.reset();
  }

  void window_is_fixed_sky_blue_with_its_caption() {
    QCOMPARE(form->windowTitle(), QStringLiteral("KQ-30 Firmware Upgrade"));
    QCOMPARE(QApplication::applicationName(), QStringLiteral("KQ-30 Firmware Update"));
    QCOMPARE(form->centralWidget()->size(), QSize(606, 447));
    QCOMPARE(form->minimumSize(), QSize(606, 447));
    QCOMPARE(form->maximumSize(), QSize(606, 447));
    QCOMPARE(form->pos(), QPoint(463, 225));  // where it was designed to open
    const Qt::WindowFlags flags = form->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(form->palette().color(QPalette::Window), QColor(0xA6, 0xCA, 0xF0));
    // The banner across the top, the pages below it.
    QCOMPARE(Find(form, "Panel1")->geometry(), QRect(0, 0, 606, 79));
    QCOMPARE(Find(form, "PageControlConf")->geometry().top(), 79);
    QVERIFY(!Find<QLabel>(form, "ImageLogo")->pixmap().isNull());
  }

  void pages_are_in_order_and_the_window_starts_on_welcome() {
    auto* pages = Find<QStackedWidget>(form, "PageControlConf");
    QStringList names;
    for (int i = 0; i < pages->count(); ++i) names << pages->widget(i)->objectName();
    QCOMPARE(names, QStringList({"TabSheetFirmwareUpgrade", "TabSheetWelcome", "TabSheetCOMDetect",
                                 "TabSheetCheckVersion", "TabSheetFirmwareProgress"}));
    QCOMPARE(Page(), QStringLiteral("TabSheetWelcome"));
  }

  void controls_have_their_captions_fonts_and_colours_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<QColor>("colour");
    const QColor any;  // colour not checked
    const QColor navy(0, 0, 128), maroon(128, 0, 0), grey(128, 128, 128);
    auto row = [](const char* name, const char* caption, const char* family, int px, bool bold, bool italic,
                  QColor colour) {
      QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption) << QString::fromLatin1(family)
                          << px << bold << italic << colour;
    };
    row("StaticText2", "Welcome to KQ-30 Firmware Upgrade", "Arial", 19, true, false, any);
    row("LabelORVOWeb", nullptr, "Arial", 13, false, false, navy);
    row("StaticTextStartTitle", "Please check below items before starting KQ-30 Firmware Upgrade:", "Arial", 19, true,
        false, any);
    row("StaticTextStartDescription1", "Please connect KQ-30 to PC by NMEA-0183 port.", "Arial", 16, false, false, any);
    row("StaticTextStartDescription2", "Please power on the KQ-30.", "Arial", 16, false, false, any);
    row("StaticTextStartDescription3", "Check the KQ-30 has booted successfully when the power indicator lights.",
        "Arial", 16, false, false, any);
    row("SpeedButtonStart", "Start", "Arial", 27, true, true, any);
    row("SpeedButtonExit1", "Exit", "Arial Unicode MS", 13, false, false, any);
    row("LabelConnectDeviceTitle", "Serial Port and Baud Rate Setting", "Arial", 21, true, false, any);
    row("GroupBoxConnectionMode", "Serial Port and Baud Rate Setting", "Arial Unicode MS", 13, false, false, any);
    row("RadioButtonConnectionModeManual", "Manual", "Arial Unicode MS", 13, false, false, any);
    row("RadioButtonConnectionModeAuto", "Auto", "Arial Unicode MS", 13, false, false, any);
    row("lblSerialPort", "Serial Port", "Arial Unicode MS", 13, false, false, any);
    row("lblBaudRate", "Baud Rate", "Arial Unicode MS", 13, false, false, any);
    row("LabelAutoComPort", "Serial Port", "Arial Unicode MS", 13, false, false, any);
    row("LabelAutoBaudRate", "Baud Rate", "Arial Unicode MS", 13, false, false, any);
    row("LabelConnectionStatus", "Disconnect...", "Arial Unicode MS", 13, false, false, any);
    row("OpenPort", "Connect", "Arial Unicode MS", 13, false, false, any);
    row("SB_COMPortDetectContinue", "Continue", "Arial Unicode MS", 13, false, false, any);
    row("SpeedButtonCancel", "Cancel", "Arial Unicode MS", 13, false, false, any);
    row("StaticTextSerialPortNote1", "Select appropriate serial port and baud rate!", "Arial", 21, false, false, navy);
    row("StaticTextSerialPortNote2",
        "Notice: When the desired serial port is not in the serial port drop down menu in the manual mode. We suggest "
        "inputting the port number in the drop down menu manually to begin connecting.",
        "Arial", 13, false, false, grey);
    row("LabelFrmVerTitle", " Check Firmware Version", "Arial", 21, true, false, any);
    row("LabelFrmVerOriginal", "Original Firmware Version", "Arial", 16, false, false, any);
    row("LabelFrmVerNew", "New Firmware Version", "Arial", 16, false, false, any);
    row("LabelFrmVerOriginal2", "Original :", "Arial Unicode MS", 13, false, false, any);
    row("LabelFrmVerNew2", "New :", "Arial Unicode MS", 13, false, false, any);
    row("LabelFrmVerWantToContinue", "Do you want to continue?", "Arial", 21, true, false, maroon);
    row("SpeedButtonFrmVerWantToContinueYes", "Yes", "Arial Unicode MS", 13, false, false, any);
    row("SpeedButtonFrmVerWantToContinueNo", "No", "Arial Unicode MS", 13, false, false, any);
    row("LabelProgressTitle", "Firmware Upgrade", "Arial", 21, true, false, any);
    row("StaticText1", "   Upgrade in process!               Please wait a moment", "Arial", 21, true, false, maroon);
    row("LabelProgressStatusText", "Firmware Status:", "Arial", 16, false, false, any);
    row("SpeedButtonFrmUpgFinish", "Finish", "Arial Unicode MS", 13, false, false, any);
    row("SpeedButton_WritePICFlash", "Write Flash", "Arial Unicode MS", 13, false, false, any);
    row("SpeedButton_VerifyPICFlash", "Verify Flash", "Arial Unicode MS", 13, false, false, any);
    row("SpeedButton_ErasePICFlash", "Erase Flash", "Arial Unicode MS", 13, false, false, any);
    row("SpeedButton_RunToApplication", "Run Program", "Arial Unicode MS", 13, false, false, any);
    row("LabeledEdit_Firmware_File_DateLabel", "Date/Time", "Arial Unicode MS", 13, false, false, any);
    row("LabeledEdit_Firmware_File_VersionLabel", "Firmware Version", "Arial Unicode MS", 13, false, false, any);
    row("Label3", "Baud Rate Config:", "Arial Unicode MS", 13, false, false, any);
    row("Label1", "RS-232", "Arial Unicode MS", 13, false, false, any);
    row("Label2", "NMEA", "Arial Unicode MS", 13, false, false, any);
    row("spbBaudRate", "Baud Rate Config", "Arial Unicode MS", 13, false, false, any);
  }

  void controls_have_their_captions_fonts_and_colours() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, family);
    QFETCH(int, pixels);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(QColor, colour);
    QWidget* w = Find(form, name.toLatin1().constData());
    w->ensurePolished();
    if (!caption.isNull()) QCOMPARE(Caption(w), caption);
    QCOMPARE(w->font().family(), family);
    QCOMPARE(w->font().pixelSize(), pixels);
    QCOMPARE(w->font().bold(), bold);
    QCOMPARE(w->font().italic(), italic);
    if (colour.isValid()) QCOMPARE(w->palette().color(QPalette::WindowText), colour);
  }

  void the_remaining_controls_are_there() {
    for (const char* name :
         {"ImageStartTitle", "ShapeStartDescription2", "Shape1", "Shape2", "ImageConnectDevice",
          "PageControlDetectComPortMode", "TabSheetManualDetectComPort", "TabSheetAutoConnectComPort", "cbxComPort",
          "cbxBaudRate", "EditAutoDetectComPort", "EditAutoDetectBaudRate", "ImageConnectToDevice",
          "ImageConnectTwoWay", "ImageFrmVer", "ShapeFrmVerNew", "Shape3", "LabelOriginalVersion", "LabelNewVersion",
          "ImageFrmVerOriginal", "ImageFrmVerTo", "Image1", "LabelOriginalVersion2", "LabelNewVersion2", "Image2",
          "ProgressBar1", "LabelProgressValue", "LabeledEdit_Firmware_File_Date", "LabeledEdit_Firmware_File_Version",
          "cbxBaud_RS232", "cbxBaud_NMEA", "MemoRecord"})
      QVERIFY2(form->findChild<QWidget*>(QLatin1String(name)), name);
    for (const char* picture : {"ImageStartTitle", "ImageConnectDevice", "ImageFrmVer", "Image2"})
      QCOMPARE(Find(form, picture)->size(), QSize(32, 32));
    for (const char* picture : {"ImageFrmVerOriginal", "ImageFrmVerTo", "Image1"})
      QCOMPARE(Find(form, picture)->size(), QSize(48, 48));
    QCOMPARE(Find(form, "ImageConnectToDevice")->size(), QSize(120, 32));
    QCOMPARE(Find(form, "ImageConnectTwoWay")->size(), QSize(32, 32));
    // The two-way picture sits over the middle of the other.
    QCOMPARE(Find(form, "ImageConnectTwoWay")->geometry().center().x(),
             Find(form, "ImageConnectToDevice")->geometry().center().x());
    for (const char* edit : {"LabeledEdit_Firmware_File_Date", "LabeledEdit_Firmware_File_Version"}) {
      QVERIFY(Find<QLineEdit>(form, edit)->isReadOnly());
      QCOMPARE(Find<QLineEdit>(form, edit)->maxLength(), 20);
    }
  }

  void start_up_state_of_every_page() {
    // Welcome: only Start shows a tool tip.
    QCOMPARE(Find(form, "SpeedButtonStart")->toolTip(), QStringLiteral("Start the Firmware Upgrade"));
    for (QWidget* w : form->findChildren<QWidget*>())
      if (w->objectName() != QLatin1String("SpeedButtonStart")) QVERIFY2(w->toolTip().isEmpty(), qPrintable(w->objectName()));
    // Serial-port page: Manual, the manual sheet, the lists, disconnected.
    QVERIFY(Find<QRadioButton>(form, "RadioButtonConnectionModeManual")->isChecked());
    QCOMPARE(Find<QStackedWidget>(form, "PageControlDetectComPortMode")->currentWidget()->objectName(),
             QStringLiteral("TabSheetManualDetectComPort"));
    auto* rates = Find<QComboBox>(form, "cbxBaudRate");
    QStringList texts;
    for (int i = 0; i < rates->count(); ++i) texts << rates->itemText(i);
    QCOMPARE(texts, QStringList({"4800", "9600", "38400", "57600", "115200"}));
    QCOMPARE(rates->currentIndex(), 4);
    auto* ports = Find<QComboBox>(form, "cbxComPort");
    QVERIFY(ports->isEditable());
    if (ports->count() == 0) {
      QCOMPARE(ports->currentText(), QStringLiteral("N/A"));
    } else {
      QCOMPARE(ports->currentIndex(), 0);
    }
    QVERIFY(!Find(form, "LabelConnectionStatus")->isEnabled());
    QVERIFY(!Find<QLabel>(form, "ImageConnectToDevice")->pixmap().isNull());
    QVERIFY(!Find<QLabel>(form, "ImageConnectTwoWay")->pixmap().isNull());
    for (const char* name : {"GroupBoxConnectionMode", "RadioButtonConnectionModeAuto", "cbxComPort", "cbxBaudRate"})
      QVERIFY2(Find(form, name)->isEnabled(), name);
    auto* connect = Find<QToolButton>(form, "OpenPort");
    auto* cont = Find<QToolButton>(form, "SB_COMPortDetectContinue");
    QVERIFY(connect->isCheckable() && !connect->isChecked());
    QCOMPARE(connect->property("tag").toInt(), 0);
    QVERIFY(!cont->isEnabled());
    QVERIFY(!form->Core->Conn.UnitFound);
    // Progress page: Finish disabled, the bar empty.
    QVERIFY(!Find(form, "SpeedButtonFrmUpgFinish")->isEnabled());
    QCOMPARE(Find<QProgressBar>(form, "ProgressBar1")->value(), 0);
    // Engineering page: the device rate lists.
    auto items = [](QComboBox* c) {
      QStringList l;
      for (int i = 0; i < c->count(); ++i) l << c->itemText(i);
      return l;
    };
    QCOMPARE(items(Find<QComboBox>(form, "cbxBaud_RS232")),
             QStringList({"115200", "57600", "38400", "19200", "9600", "4800"}));
    QCOMPARE(items(Find<QComboBox>(form, "cbxBaud_NMEA")), QStringList({"38400", "4800"}));
    QVERIFY(Find<QPlainTextEdit>(form, "MemoRecord")->isReadOnly());
  }

  void timers_and_image_lists() {
    QCOMPARE(form->Timer1->Interval(), 1000);
    QVERIFY(!form->Timer1->Enabled());
    QCOMPARE(form->TimerConnection->Interval(), 200);
    QVERIFY(!form->TimerConnection->Enabled());
    QCOMPARE(form->PIC_Timer->Interval(), 1);
    QVERIFY(!form->PIC_Timer->Enabled());  // until an upgrade gives it work
    QCOMPARE(form->PIC_Timer->Type(), Qt::PreciseTimer);

    QCOMPARE(form->ImageListConnectToDevice.Count(), 2);
    QCOMPARE(form->ImageListConnectTwoWay.Count(), 8);
    for (int i = 0; i < 2; ++i) QCOMPARE(form->ImageListConnectToDevice.Image(i).size(), QSize(120, 32));
    for (int i = 0; i < 8; ++i) QCOMPARE(form->ImageListConnectTwoWay.Image(i).size(), QSize(32, 32));
    // Every frame of the animation differs from the one before.
    for (int i = 3; i < 8; ++i)
      QVERIFY(form->ImageListConnectTwoWay.Image(i).toImage() != form->ImageListConnectTwoWay.Image(i - 1).toImage());
    QCOMPARE(form->ImageListConnectTwoWay.BkColor(), QColor(0xA6, 0xCA, 0xF0));
  }

  void connection_status_shows_picture_text_and_colour() {
    auto* status = Find<QLabel>(form, "LabelConnectionStatus");
    auto* picture = Find<QLabel>(form, "ImageConnectToDevice");
    // Disabled at the start, in a grey that stays legible on the page.
    QCOMPARE(status->palette().color(QPalette::Disabled, QPalette::WindowText), QColor(0x60, 0x60, 0x60));
    const QImage apart = picture->pixmap().toImage();
    form->ShowConnectionStatus(1, "Connected...");
    status->ensurePolished();
    QCOMPARE(status->text(), QStringLiteral("Connected..."));
    QVERIFY(status->isEnabled());
    QCOMPARE(status->palette().color(QPalette::Active, QPalette::WindowText), QColor(Qt::blue));
    QVERIFY(picture->pixmap().toImage() != apart);
    form->ShowConnectionStatus(1, "Connecting...");
    status->ensurePolished();
    QCOMPARE(status->palette().color(QPalette::Active, QPalette::WindowText), QColor(Qt::black));
    form->ShowConnectionStatus(0, "Disconnect...");
    QVERIFY(!status->isEnabled());
    QCOMPARE(picture->pixmap().toImage(), apart);
    // White in a list picture is see-through; the list's own background is not.
    const QImage two_way = Find<QLabel>(form, "ImageConnectTwoWay")->pixmap().toImage();
    QCOMPARE(QColor(two_way.pixel(0, 0)), QColor(0xA6, 0xCA, 0xF0));
  }

  void a_screen_reader_names_each_control_by_what_it_shows_data() {
    QTest::addColumn<QString>("control");  // "list/edit": the list's typed-in field
    QTest::addColumn<int>("role");
    QTest::addColumn<QString>("label");    // whose text is the name; none: no name, not presented
    QTest::newRow("port list") << "cbxComPort" << int(QAccessible::ComboBox) << "lblSerialPort";
    QTest::newRow("port typed in") << "cbxComPort/edit" << int(QAccessible::EditableText) << "lblSerialPort";
    QTest::newRow("rate list") << "cbxBaudRate" << int(QAccessible::ComboBox) << "lblBaudRate";
    QTest::newRow("port tried") << "EditAutoDetectComPort" << int(QAccessible::EditableText) << "LabelAutoComPort";
    QTest::newRow("rate tried") << "EditAutoDetectBaudRate" << int(QAccessible::EditableText) << "LabelAutoBaudRate";
    QTest::newRow("status picture") << "ImageConnectToDevice" << int(QAccessible::Graphic) << "LabelConnectionStatus";
    QTest::newRow("status arrows") << "ImageConnectTwoWay" << int(QAccessible::Graphic) << "LabelConnectionStatus";
    QTest::newRow("progress bar") << "ProgressBar1" << int(QAccessible::ProgressBar) << "LabelProgressStatusText";
    QTest::newRow("RS-232 rate") << "cbxBaud_RS232" << int(QAccessible::ComboBox) << "Label1";
    QTest::newRow("file date") << "LabeledEdit_Firmware_File_Date" << int(QAccessible::EditableText)
                               << "LabeledEdit_Firmware_File_DateLabel";
    for (const char* decoration : {"ImageStartTitle", "Shape1", "ImageConnectDevice", "ImageFrmVerTo", "Image2"})
      QTest::newRow(decoration) << decoration << int(QAccessible::Graphic) << QString();
  }

  void a_screen_reader_names_each_control_by_what_it_shows() {
    QFETCH(QString, control);
    QFETCH(int, role);
    QFETCH(QString, label);
    const QStringList path = control.split('/');
    QWidget* w = Find(form, path[0].toLatin1().constData());
    if (path.size() > 1) w = static_cast<QComboBox*>(w)->lineEdit();
    // Its page shown (and the inner sheet it is on): hidden, anything reads as not presented.
    for (QWidget* p = w; p->parentWidget(); p = p->parentWidget())
      if (auto* stack = qobject_cast<QStackedWidget*>(p->parentWidget())) stack->setCurrentWidget(p);
    // In English, then in Traditional Chinese: the names follow the language.
    QString english;
    for (const char* language : {"mnuLangEnglish", "mnuLangTraChinese"}) {
      Find<QAction>(form, language)->trigger();
      QAccessibleInterface* i = QAccessible::queryAccessibleInterface(w);
      QVERIFY(i);
      const QString name = SpokenName(i);
      QCOMPARE(int(i->role()), role);
      if (label.isEmpty()) {
        QVERIFY(name.isEmpty());
        QVERIFY(i->state().invisible);  // a decoration: not presented at all
        continue;
      }
      QVERIFY(!i->state().invisible);
      QCOMPARE(name, Find<QLabel>(form, label.toLatin1().constData())->text());
      QVERIFY(!name.isEmpty());
      // The serial-port page's labels and status have their Chinese texts.
      if (english.isNull()) english = name;
      else if (Find(form, "TabSheetCOMDetect")->isAncestorOf(w)) QVERIFY(name != english);
    }
    Find<QAction>(form, "mnuLangEnglish")->trigger();
  }

  void main_menu_is_hidden_but_complete() {
    QVERIFY(!Find<QMenuBar>(form, "MainMenu1")->isVisible());
    for (const char* menu : {"mnuFile", "mnuOption", "mnuHelp"})
      QVERIFY2(!Find<QMenu>(form, menu)->menuAction()->isVisible(), menu);
    QCOMPARE(Find<QMenu>(form, "mnuFile")->title(), QStringLiteral("File(&F)"));
    QCOMPARE(Find<QMenu>(form, "mnuLanguage")->title(), QStringLiteral("Language(&L)"));
    auto* english = Find<QAction>(form, "mnuLangEnglish");
    auto* traditional = Find<QAction>(form, "mnuLangTraChinese");
    auto* simplified = Find<QAction>(form, "mnuLangSimpChinese");
    QVERIFY(english->isChecked() && !traditional->isChecked() && !simplified->isChecked());
    QVERIFY(!simplified->isVisible());
    QCOMPARE(english->property("tag").toInt(), 0);
    QCOMPARE(traditional->property("tag").toInt(), 1);
    QCOMPARE(simplified->property("tag").toInt(), 2);
    // One radio group: ticking one unticks the others, and the captions
    // follow the entry's language.
    traditional->trigger();
    QVERIFY(traditional->isChecked() && !english->isChecked());
    QCOMPARE(Find<QAction>(form, "mnuExit")->text(), QString::fromUtf8("結束(&X)"));
    english->trigger();
    QCOMPARE(Find<QAction>(form, "mnuExit")->text(), QStringLiteral("Exit(&X)"));
    QCOMPARE(Find<QAction>(form, "mnuAbout")->text(), QStringLiteral("About(&A)"));
  }

  void start_shows_the_serial_port_page_with_the_default_rate() {
    auto* rates = Find<QComboBox>(form, "cbxBaudRate");
    rates->setCurrentIndex(1);
    Click("SpeedButtonStart");
    QCOMPARE(Page(), QStringLiteral("TabSheetCOMDetect"));
    QCOMPARE(rates->currentIndex(), 4);
    auto* ports = Find<QComboBox>(form, "cbxComPort");
    QCOMPARE(ports->currentText(), ports->count() ? ports->itemText(0) : QStringLiteral("N/A"));
  }

  void mode_switch_changes_the_inner_sheet() {
    Click("SpeedButtonStart");
    auto* sheets = Find<QStackedWidget>(form, "PageControlDetectComPortMode");
    Find<QLineEdit>(form, "EditAutoDetectComPort")->setText("3");
    Click("RadioButtonConnectionModeAuto");
    QCOMPARE(sheets->currentWidget()->objectName(), QStringLiteral("TabSheetAutoConnectComPort"));
    QVERIFY(Find<QLineEdit>(form, "EditAutoDetectComPort")->text().isEmpty());
    QVERIFY(Find<QLineEdit>(form, "EditAutoDetectBaudRate")->text().isEmpty());
    Find<QComboBox>(form, "cbxBaudRate")->setCurrentIndex(0);
    Click("RadioButtonConnectionModeManual");
    QCOMPARE(sheets->currentWidget()->objectName(), QStringLiteral("TabSheetManualDetectComPort"));
    QCOMPARE(Find<QComboBox>(form, "cbxBaudRate")->currentIndex(), 4);
    QCOMPARE(Page(), QStringLiteral("TabSheetCOMDetect"));
  }

  void cancel_no_and_finish_return_to_welcome_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("button");
    QTest::newRow("Cancel") << "TabSheetCOMDetect" << "SpeedButtonCancel";
    QTest::newRow("No") << "TabSheetCheckVersion" << "SpeedButtonFrmVerWantToContinueNo";
    QTest::newRow("Finish") << "TabSheetFirmwareProgress" << "SpeedButtonFrmUpgFinish";
  }

  void cancel_no_and_finish_return_to_welcome() {
    QFETCH(QString, page);
    QFETCH(QString, button);
    Find<QStackedWidget>(form, "PageControlConf")->setCurrentWidget(Find(form, page.toLatin1().constData()));
    QWidget* b = Find(form, button.toLatin1().constData());
    b->setEnabled(true);  // Finish is enabled by the end of an upgrade
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(Page(), QStringLiteral("TabSheetWelcome"));
    // Nothing else is reset.
    QCOMPARE(Find<QToolButton>(form, "SB_COMPortDetectContinue")->isEnabled(), false);
  }

#ifdef KQ30_SIMULATED_UNIT  // the unit lives on a pseudo-terminal
  void continue_before_the_unit_answered_asks_to_connect_first() {
    auto unit = StartUnit(38400);
    Click("SpeedButtonStart");
    auto* cont = Find<QToolButton>(form, "SB_COMPortDetectContinue");
    // Disabled, a click does nothing.
    Click("SB_COMPortDetectContinue");
    QVERIFY(boxes.Shown.empty());
    // Found once at 38400, then asked again at 9600, where it can't answer:
    // Continue stays enabled from the first connection.
    ChoosePort3(2);
    Click("OpenPort");
    QVERIFY(QTest::qWaitFor([&] { return cont->isEnabled(); }, 5000));
    Click("OpenPort");
    ChoosePort3(1);
    Click("OpenPort");
    QVERIFY(cont->isEnabled());
    boxes.Answers = {MsgResult::OK};
    Click("SB_COMPortDetectContinue");
    QCOMPARE(boxes.Shown.size(), size_t(1));
    QCOMPARE(boxes.Shown[0].Text, std::string("Please connect first"));
    QCOMPARE(boxes.Shown[0].Caption, std::string("Message"));
    QCOMPARE(boxes.Shown[0].Buttons, MsgButtons::OK);
    QCOMPARE(boxes.Shown[0].Icon, MsgIcon::None);
    QCOMPARE(Page(), QStringLiteral("TabSheetCOMDetect"));
  }

  void connecting_to_the_unit_leads_to_its_version() {
    auto unit = StartUnit(38400);
    form->NewFirmwareVersion = "1.10";
    Click("SpeedButtonStart");
    ChoosePort3(2);
    auto* connect = Find<QToolButton>(form, "OpenPort");
    auto* cont = Find<QToolButton>(form, "SB_COMPortDetectContinue");
    auto* status = Find<QLabel>(form, "LabelConnectionStatus");
    auto* device = Find<QLabel>(form, "LabelPortDevice");
    QVERIFY(device->text().startsWith(QString::fromStdString(unit->DevicePath())));
    QVERIFY(device->toolTip().isEmpty());  // Start's is the only tool tip
    Click("OpenPort");
    QVERIFY(connect->isChecked());
    QCOMPARE(connect->text(), QStringLiteral("Disconnect"));
    QVERIFY(!Find(form, "cbxComPort")->isEnabled());
    QVERIFY(!Find(form, "RadioButtonConnectionModeAuto")->isEnabled());
    // The status is not drawn greyed out with the locked choices.
    QCOMPARE(status->text(), QStringLiteral("Connecting..."));
    for (const char* name : {"LabelConnectionStatus", "ImageConnectToDevice", "ImageConnectTwoWay"})
      QVERIFY2(Find(form, name)->isEnabled(), name);
    QVERIFY(QTest::qWaitFor([&] { return status->text() == QStringLiteral("Connected..."); }, 5000));
    QVERIFY(status->isEnabled());
    const QImage drawn = status->grab().toImage();
    bool blue = false;
    for (int y = 0; y < drawn.height() && !blue; ++y)
      for (int x = 0; x < drawn.width() && !blue; ++x) {
        const QColor c = drawn.pixelColor(x, y);
        blue = c.blue() > 200 && c.red() < 60 && c.green() < 60;
      }
    QVERIFY2(blue, "Connected... is drawn in blue");
    QVERIFY(cont->isEnabled());
    QVERIFY(!form->Timer1->Enabled() && !form->TimerConnection->Enabled());
    QVERIFY(Find<QPlainTextEdit>(form, "MemoRecord")->toPlainText().contains("[END OF STATIC DATA]"));
    Click("SB_COMPortDetectContinue");
    QVERIFY(boxes.Shown.empty());
    QCOMPARE(Page(), QStringLiteral("TabSheetCheckVersion"));
    // Continue released, its tag 0, disabled; Connect released by the group,
    // the connection still open for the upgrade.
    QVERIFY(!cont->isChecked());
    QCOMPARE(cont->property("tag").toInt(), 0);
    QVERIFY(!cont->isEnabled());
    QVERIFY(!connect->isChecked());
    QCOMPARE(connect->property("tag").toInt(), 1);
    QVERIFY(form->Core->Comm.Connected());
    // What the unit and the file say is shown as text, never as markup.
    for (const char* name : {"LabelOriginalVersion", "LabelOriginalVersion2", "LabelNewVersion", "LabelNewVersion2"})
      QCOMPARE(Find<QLabel>(form, name)->textFormat(), Qt::PlainText);
    for (const char* name : {"LabelOriginalVersion", "LabelOriginalVersion2"})
      QCOMPARE(Find<QLabel>(form, name)->text(), QStringLiteral("1.05"));
    for (const char* name : {"LabelNewVersion", "LabelNewVersion2"})
      QCOMPARE(Find<QLabel>(form, name)->text(), QStringLiteral("1.10"));
    // No ends the connection and returns to the welcome page.
    Click("SpeedButtonFrmVerWantToContinueNo");
    QCOMPARE(Page(), QStringLiteral("TabSheetWelcome"));
    QVERIFY(!form->Core->Comm.Connected());
    QCOMPARE(status->text(), QStringLiteral("Disconnect..."));
    QCOMPARE(connect->text(), QStringLiteral("Connect"));
  }

  void yes_upgrades_the_unit_and_finish_returns_to_welcome() {
    QTemporaryDir folder;
    RestartIn(folder, true);
    auto unit = StartUnit(115200);
    ConnectAndContinue();
    auto* bar = Find<QProgressBar>(form, "ProgressBar1");
    auto* value = Find<QLabel>(form, "LabelProgressValue");
    auto* status = Find<QLabel>(form, "LabelProgressStatusText");
    auto* finish = Find<QToolButton>(form, "SpeedButtonFrmUpgFinish");
    Click("SpeedButtonFrmVerWantToContinueYes");
    QCOMPARE(Page(), QStringLiteral("TabSheetFirmwareProgress"));
    QVERIFY(!finish->isEnabled());
    QVERIFY(QTest::qWaitFor([&] { return bar->value() > 10; }, 20000));
    QVERIFY(value->text().endsWith(QStringLiteral("/%1").arg(form->Core->Firmware.TotalBlocks())));
    QVERIFY(status->text().startsWith(QStringLiteral("Programming")));
    QVERIFY(QTest::qWaitFor([&] { return status->text() == QStringLiteral("Success!!"); }, 60000));
    QVERIFY(finish->isEnabled());
    QCOMPARE(Find<QLabel>(form, "StaticText1")->text(),
             QStringLiteral("        Upgrade finished        Please restart your device!"));
    QVERIFY(boxes.Shown.empty());
    const FirmwareFile& file = form->Core->Firmware;
    const auto flash = unit->Flash();
    QVERIFY(std::equal(file.FirmwareImage.begin(), file.FirmwareImage.begin() + file.ProgramLength(), flash.begin()));
    QVERIFY(QTest::qWaitFor([&] { return !unit->InBootLoader(); }, 2000));
    Click("SpeedButtonFrmUpgFinish");
    QCOMPARE(Page(), QStringLiteral("TabSheetWelcome"));
    QVERIFY(!form->Core->Comm.Connected());
  }

  // From the welcome page to "Success!!" and back with keys alone: Tab to
  // move, Space to press, Enter for the page's main button, Esc for its
  // Cancel; each page puts the focus on its first control.
  void the_whole_upgrade_by_keyboard_alone() {
    QTemporaryDir folder;
    RestartIn(folder, true);
    auto unit = StartUnit(115200);
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    auto* ports = Find<QComboBox>(form, "cbxComPort");
    QVERIFY(QTest::qWaitFor([&] { return ports->findText("3") >= 0; }, 5000));
    QCOMPARE(Focused(), QStringLiteral("SpeedButtonStart"));
    Press(Qt::Key_Return);
    QCOMPARE(Page(), QStringLiteral("TabSheetCOMDetect"));
    Press(Qt::Key_Escape);
    QCOMPARE(Page(), QStringLiteral("TabSheetWelcome"));
    QCOMPARE(Focused(), QStringLiteral("SpeedButtonStart"));
    Press(Qt::Key_Enter);
    QCOMPARE(Page(), QStringLiteral("TabSheetCOMDetect"));
    // Once round the page by Tab, top to bottom (Continue waits for the unit).
    QStringList round{Focused()};
    for (int i = 0; i < 10 && (round.size() == 1 || round.last() != round.first()); ++i) {
      Press(Qt::Key_Tab);
      round << Focused();
    }
    QCOMPARE(round, QStringList({"RadioButtonConnectionModeManual", "cbxComPort", "cbxBaudRate", "OpenPort",
                                 "SpeedButtonCancel", "RadioButtonConnectionModeManual"}));
    QCOMPARE(ports->currentText(), QStringLiteral("3"));  // the only port
    while (Focused() != QStringLiteral("OpenPort")) Press(Qt::Key_Tab);
    Press(Qt::Key_Space);
    auto* status = Find<QLabel>(form, "LabelConnectionStatus");
    QVERIFY(QTest::qWaitFor([&] { return status->text() == QStringLiteral("Connected..."); }, 5000));
    Press(Qt::Key_Return);
    QCOMPARE(Page(), QStringLiteral("TabSheetCheckVersion"));
    QCOMPARE(Focused(), QStringLiteral("SpeedButtonFrmVerWantToContinueYes"));
    QVERIFY(!form->PIC_Timer->Enabled());
    Press(Qt::Key_Return);
    QCOMPARE(Page(), QStringLiteral("TabSheetFirmwareProgress"));
    QVERIFY(form->PIC_Timer->Enabled());  // the sequencer has work
    auto* progress = Find<QLabel>(form, "LabelProgressStatusText");
    QVERIFY2(QTest::qWaitFor([&] { return progress->text() == QStringLiteral("Success!!"); }, 60000),
             boxes.Shown.empty() ? qPrintable(progress->text()) : boxes.Shown[0].Text.c_str());
    QVERIFY(!form->PIC_Timer->Enabled());  // and has none left
    QCOMPARE(Focused(), QStringLiteral("SpeedButtonFrmUpgFinish"));
    Press(Qt::Key_Return);
    QCOMPARE(Page(), QStringLiteral("TabSheetWelcome"));
    QCOMPARE(Focused(), QStringLiteral("SpeedButtonStart"));
    QVERIFY(!form->Core->Comm.Connected());
    QVERIFY(boxes.Shown.empty());
    const FirmwareFile& file = form->Core->Firmware;
    QVERIFY(std::equal(file.FirmwareImage.begin(), file.FirmwareImage.begin() + file.ProgramLength(),
                       unit->Flash().begin()));
  }

  void a_unit_in_its_boot_loader_is_offered_its_firmware_and_no_leaves_the_page() {
    SimOptions o;
    o.PortFolder = portFolder->path().toStdString();
    o.PortNumber = 3;
    o.StartInBootLoader = true;
    SimulatedUnit unit(o);
    unit.Start();
    Click("SpeedButtonStart");
    ChoosePort3(2);
    boxes.Answers = {MsgResult::OK, MsgResult::No};
    Click("OpenPort");
    QVERIFY(QTest::qWaitFor([&] { return boxes.Shown.size() == 2; }, 30000));
    QCOMPARE(boxes.Shown[0].Text, std::string("Serial port connection time out!"));
    QVERIFY(boxes.Shown[1].Text.find("waiting in its boot loader on COM3") != std::string::npos);
    QCOMPARE(boxes.Shown[1].Buttons, MsgButtons::YesNo);
    // As after a plain failure: disconnected, the choices open again.
    QTest::qWait(1200);
    QCOMPARE(Page(), QStringLiteral("TabSheetCOMDetect"));
    QCOMPARE(Find<QLabel>(form, "LabelConnectionStatus")->text(), QStringLiteral("Disconnect..."));
    QCOMPARE(Find<QToolButton>(form, "OpenPort")->text(), QStringLiteral("Connect"));
    QVERIFY(!Find<QToolButton>(form, "OpenPort")->isChecked());
    QVERIFY(Find(form, "cbxComPort")->isEnabled());
    QVERIFY(!Find(form, "SB_COMPortDetectContinue")->isEnabled());
    QVERIFY(!form->Core->Comm.Connected());
    QCOMPARE(boxes.Shown.size(), size_t(2));
    QCOMPARE(unit.BootRequests().size(), size_t(1));  // only the question
  }

  void an_unfit_firmware_file_is_refused_on_the_version_page() {
    QTemporaryDir folder;
    RestartIn(folder, false);  // no KQ-30.bin
    auto unit = StartUnit(115200);
    ConnectAndContinue();
    boxes.Answers = {MsgResult::OK};
    Click("SpeedButtonFrmVerWantToContinueYes");
    QCOMPARE(boxes.Shown.size(), size_t(1));
    QCOMPARE(boxes.Shown[0].Caption, std::string("Warning"));
    QCOMPARE(boxes.Shown[0].Text, form->Core->Firmware.Reason);
    QCOMPARE(Page(), QStringLiteral("TabSheetCheckVersion"));
    QTest::qWait(200);
    for (const auto& line : unit->ReceivedLines()) QVERIFY(line.Line.find("00008") == std::string::npos);
    QVERIFY(unit->BootRequests().empty());
  }

  void exit_while_connected_closes_the_port() {
    auto unit = StartUnit(38400);
    Click("SpeedButtonStart");
    ChoosePort3(2);
    Click("OpenPort");
    QVERIFY(QTest::qWaitFor([&] { return form->Core->Conn.UnitConnected; }, 5000));
    boxes.Answers = {MsgResult::OK};
    QVERIFY(form->close());
    QVERIFY(!form->Core->Comm.Connected());
  }

#endif

  void the_firmware_file_in_the_current_folder_is_shown() {
    QTemporaryDir folder;
    RestartIn(folder, true);
    const FirmwareFile& file = form->Core->Firmware;
    QVERIFY(file.FitToFlash());
    QCOMPARE(Find<QLineEdit>(form, "LabeledEdit_Firmware_File_Version")->text(), QStringLiteral("SAMPLE 1.10"));
    QCOMPARE(Find<QLineEdit>(form, "LabeledEdit_Firmware_File_Date")->text(), QStringLiteral("2026/11/20 09:30"));
    QCOMPARE(form->NewFirmwareVersion, std::string("SAMPLE 1.10"));
    auto* bar = Find<QProgressBar>(form, "ProgressBar1");
    QCOMPARE(bar->maximum(), file.TotalBlocks());
    QVERIFY(bar->maximum() > 100);
  }

  // A file dropped on the window before the upgrade is loaded as the
  // program's argument is, and the version page shows it; once the upgrade
  // has begun a drop is refused and changes nothing.
  void a_dropped_firmware_file_is_loaded_until_the_upgrade_begins() {
    if (!*KQ30_SAMPLE_FIRMWARE) QSKIP("no sample firmware in this build");
    QTemporaryDir started, other;
    RestartIn(started, false);  // no KQ-30.bin: refused at Yes
    QVERIFY(!form->Core->Firmware.FitToFlash());
    const QString dropped = other.filePath("KQ-30 new.bin");
    QVERIFY(QFile::copy(KQ30_SAMPLE_FIRMWARE, dropped));
    const QString before = QDir::currentPath();
    auto drop = [&](const QString& path) {
      QMimeData data;
      data.setUrls({QUrl::fromLocalFile(path)});
      QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(form, &enter);
      QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
      QApplication::sendEvent(form, &drop);
      return enter.isAccepted() && drop.isAccepted();
    };
    auto* pages = Find<QStackedWidget>(form, "PageControlConf");
    pages->setCurrentWidget(Find(form, "TabSheetCheckVersion"));
    QVERIFY(drop(dropped));
    const QString now = QDir::currentPath();
    QDir::setCurrent(before);
    QCOMPARE(QFileInfo(now).canonicalFilePath(), QFileInfo(other.path()).canonicalFilePath());
    QVERIFY(form->Core->Firmware.FitToFlash());
    QCOMPARE(Find<QLabel>(form, "LabelNewVersion")->text(), QStringLiteral("SAMPLE 1.10"));
    // The name, and the folder's end at least (a long folder loses its middle).
    const QString file = Find<QLabel>(form, "LabelNewFile")->text();
    QVERIFY2(file.startsWith(QStringLiteral("KQ-30 new.bin in ")) && file.endsWith(now.right(6)),
             qPrintable(file));
    pages->setCurrentWidget(Find(form, "TabSheetFirmwareProgress"));
    QVERIFY(!drop(started.filePath("none.bin")));
    QDir::setCurrent(before);
    QVERIFY(form->Core->Firmware.FitToFlash());
    QCOMPARE(Find<QLabel>(form, "LabelNewVersion")->text(), QStringLiteral("SAMPLE 1.10"));
  }

  void a_port_that_does_not_open_asks_before_connecting() {
    Click("SpeedButtonStart");
    // A number typed in that no port has (Windows lists ports of its own).
    auto* ports = Find<QComboBox>(form, "cbxComPort");
    ports->setEditText(QStringLiteral("250"));
    form->cbxComPortChange();
    boxes.Answers = {MsgResult::Cancel};
    Click("OpenPort");
    QCOMPARE(boxes.Shown.size(), size_t(1));
    QCOMPARE(boxes.Shown[0].Text,
             std::string("Note! Any force connect this serial port may cause unpredictable mistakes. Continue?"));
    QCOMPARE(boxes.Shown[0].Icon, MsgIcon::Warning);
    auto* connect = Find<QToolButton>(form, "OpenPort");
    QVERIFY(!connect->isChecked());
    QCOMPARE(connect->text(), QStringLiteral("Connect"));
    QVERIFY(!form->Timer1->Enabled());
  }

  void exit_query_cancel_keeps_the_window_as_it_was_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Exit button") << "button";
    QTest::newRow("File > Exit") << "menu";
    QTest::newRow("close box") << "close";
  }

  void exit_query_cancel_keeps_the_window_as_it_was() {
    QFETCH(QString, how);
    Click("SpeedButtonStart");
    Click("RadioButtonConnectionModeAuto");
    boxes.Answers = {MsgResult::Cancel};
    if (how == "button") {
      // Exit sits on the welcome page; go there and back through the page itself.
      Find<QStackedWidget>(form, "PageControlConf")->setCurrentWidget(Find(form, "TabSheetWelcome"));
      Click("SpeedButtonExit1");
    } else if (how == "menu") {
      Find<QAction>(form, "mnuExit")->trigger();
    } else {
      QVERIFY(!form->close());
    }
    QCOMPARE(boxes.Shown.size(), size_t(1));
    QCOMPARE(boxes.Shown[0].Text, std::string("Are you sure to exit?"));
    QCOMPARE(boxes.Shown[0].Caption, std::string("Exit!"));
    QCOMPARE(boxes.Shown[0].Buttons, MsgButtons::OKCancel);
    QCOMPARE(boxes.Shown[0].Icon, MsgIcon::None);
    QVERIFY(form->isVisible());
    QCOMPARE(Page(), how == "button" ? QStringLiteral("TabSheetWelcome") : QStringLiteral("TabSheetCOMDetect"));
    QVERIFY(Find<QRadioButton>(form, "RadioButtonConnectionModeAuto")->isChecked());
    QVERIFY(!form->PIC_Timer->Enabled());  // idle as before: nothing to step
  }

  void exit_query_ok_closes_the_window() {
    boxes.Answers = {MsgResult::OK};
    Click("SpeedButtonExit1");
    QCOMPARE(boxes.Shown.size(), size_t(1));
    QVERIFY(!form->isVisible());
  }

  void no_control_leads_to_the_engineering_page() {
    // Every button and radio button of the four wizard pages, pressed in
    // turn from every page, never shows the engineering page.
    auto* pages = Find<QStackedWidget>(form, "PageControlConf");
    QWidget* engineering = Find(form, "TabSheetFirmwareUpgrade");
    for (int p = 1; p < pages->count(); ++p) {
      for (QAbstractButton* b : pages->widget(p)->findChildren<QAbstractButton*>()) {
        if (b->objectName() == QLatin1String("SpeedButtonExit1")) continue;
        pages->setCurrentIndex(p);
        boxes.Answers = {MsgResult::OK, MsgResult::OK};
        b->setEnabled(true);
        b->click();
        QVERIFY2(pages->currentWidget() != engineering, qPrintable(b->objectName()));
      }
    }
    // Keyboard page switching of tab controls does nothing here either.
    pages->setCurrentIndex(1);
    QTest::keyClick(form, Qt::Key_Tab, Qt::ControlModifier);
    QTest::keyClick(form, Qt::Key_PageUp, Qt::ControlModifier);
    QVERIFY(pages->currentWidget() != engineering);
  }

  void ctrl_shift_f12_shows_the_engineering_page_whose_button_needs_an_open_port() {
    auto* pages = Find<QStackedWidget>(form, "PageControlConf");
    form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTest::keyClick(form, Qt::Key_F12, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(pages->currentWidget(), Find(form, "TabSheetFirmwareUpgrade"));
    // Manual mode, no port open: the port-open error, the picks kept.
    auto* rs232 = Find<QComboBox>(form, "cbxBaud_RS232");
    auto* nmea = Find<QComboBox>(form, "cbxBaud_NMEA");
    rs232->setCurrentIndex(4);
    emit rs232->activated(4);
    nmea->setCurrentIndex(1);
    emit nmea->activated(1);
    boxes.Answers = {MsgResult::OK};
    Click("spbBaudRate");
    QCOMPARE(boxes.Shown.size(), size_t(1));
    QCOMPARE(boxes.Shown[0].Text, std::string("Serial port open error! Please check!"));
    QCOMPARE(boxes.Shown[0].Caption, std::string("Error"));
    QCOMPARE(rs232->currentIndex(), 4);
    QCOMPARE(nmea->currentIndex(), 1);
    QCOMPARE(pages->currentWidget(), Find(form, "TabSheetFirmwareUpgrade"));
  }
};

KQ30_GUI_TEST_MAIN(Form1Test)
#include "Form1_test.moc"
