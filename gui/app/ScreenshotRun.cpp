#include "app/ScreenshotRun.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QDir>
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "app/StartUp.h"
#include "common/ProcessClock.h"

namespace {

void Save(QWidget* window, const QDir& dir, const QString& name) {
  QCoreApplication::processEvents();
  const QString path = dir.filePath(name + QStringLiteral(".png"));
  if (!window->grab().save(path)) std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
}

// Checks cond every 50 ms and runs then once it holds.
void WaitFor(std::function<bool()> cond, std::function<void()> then) {
  if (cond()) return then();
  QTimer::singleShot(50, [cond = std::move(cond), then = std::move(then)]() mutable {
    WaitFor(std::move(cond), std::move(then));
  });
}

template <typename T = QWidget>
T* Control(QWidget* form, const char* name) {
  return form->findChild<T*>(QLatin1String(name));
}

// With a simulated unit on COM port: connecting, connected, the filled
// version page, an upgrade under way and finished.
void TakeUpgradePictures(TForm1* form, const QDir& dir, int port) {
  Control<QAbstractButton>(form, "SpeedButtonStart")->click();
  auto* ports = Control<QComboBox>(form, "cbxComPort");
  ports->setEditText(QString::number(port));
  form->cbxComPortChange();
  auto* rates = Control<QComboBox>(form, "cbxBaudRate");
  rates->setCurrentIndex(rates->findText(QStringLiteral("38400")));
  form->cbxBaudRateChange();
  Control<QAbstractButton>(form, "OpenPort")->click();
  auto* status = Control<QLabel>(form, "LabelConnectionStatus");
  QTimer::singleShot(0, [=] {
    Save(form, dir, QStringLiteral("9-connecting"));
    WaitFor([=] { return status->text() == QString::fromStdString(form->Core->Texts.Connected); }, [=] {
      Save(form, dir, QStringLiteral("10-connected"));
      Control<QAbstractButton>(form, "SB_COMPortDetectContinue")->click();
      Save(form, dir, QStringLiteral("11-version"));
      std::fprintf(stderr, "screenshots: the version page shows the unit's version \"%s\" and the file's \"%s\"\n",
                   Control<QLabel>(form, "LabelOriginalVersion")->text().toUtf8().constData(),
                   Control<QLabel>(form, "LabelNewVersion")->text().toUtf8().constData());
      Control<QAbstractButton>(form, "SpeedButtonFrmVerWantToContinueYes")->click();
      auto* bar = Control<QProgressBar>(form, "ProgressBar1");
      auto* progress = Control<QLabel>(form, "LabelProgressStatusText");
      WaitFor([=] { return bar->value() > bar->maximum() / 3; }, [=] {
        Save(form, dir, QStringLiteral("12-progress"));
        WaitFor([=] { return progress->text() == QString::fromStdString(form->Core->Texts.Success); },
                [=] {
                  Save(form, dir, QStringLiteral("13-finished"));
                  QCoreApplication::exit(0);
                });
      });
    });
  });
}

// The fonts the system found for a button's text, in the order of its
// glyphs: a family without the language's characters hands them to the
// next one that has them.
QString DrawnIn(QAbstractButton* button) {
  QTextLayout layout(button->text(), button->font());
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  QStringList families;
  for (const QGlyphRun& run : layout.glyphRuns())
    if (!families.contains(run.rawFont().familyName())) families << run.rawFont().familyName();
  return families.join(QStringLiteral(", "));
}

}  // namespace

void StartScreenshotRun(WizardWindows& windows, const QString& folder) {
  QTimer::singleShot(0, [&windows, folder] {
    std::fprintf(stderr, "screenshots: welcome page shown %.0f ms after the program started\n",
                 MillisecondsSinceProcessStart());
    // What a run shows of its language file, in UTF-8.
    std::fprintf(stderr, "screenshots: language %d, the Connect button reads \"%s\", the firmware file's version \"%s\"\n",
                 windows.Form1->LanguageIndex,
                 Control<QAbstractButton>(windows.Form1.get(), "OpenPort")->text().toUtf8().constData(),
                 Control<QLineEdit>(windows.Form1.get(), "LabeledEdit_Firmware_File_Version")->text().toUtf8().constData());
    std::fprintf(stderr, "screenshots: the Connect button's text is drawn in \"%s\"\n",
                 DrawnIn(Control<QAbstractButton>(windows.Form1.get(), "OpenPort")).toUtf8().constData());
    QDir dir(folder);
    dir.mkpath(QStringLiteral("."));
    TForm1* form = windows.Form1.get();
    auto* pages = form->findChild<QStackedWidget*>(QStringLiteral("PageControlConf"));
    auto page = [&](const char* name) { pages->setCurrentWidget(form->findChild<QWidget*>(QLatin1String(name))); };

    Save(form, dir, QStringLiteral("1-welcome"));
    page("TabSheetCOMDetect");
    Save(form, dir, QStringLiteral("2-serial-port-manual"));
    form->findChild<QRadioButton*>(QStringLiteral("RadioButtonConnectionModeAuto"))->click();
    Save(form, dir, QStringLiteral("3-serial-port-auto"));
    form->findChild<QRadioButton*>(QStringLiteral("RadioButtonConnectionModeManual"))->click();
    page("TabSheetCheckVersion");
    Save(form, dir, QStringLiteral("4-version"));
    page("TabSheetFirmwareProgress");
    Save(form, dir, QStringLiteral("5-progress"));
    page("TabSheetFirmwareUpgrade");
    Save(form, dir, QStringLiteral("6-engineering"));
    page("TabSheetWelcome");
    windows.frmAbout->show();
    Save(windows.frmAbout.get(), dir, QStringLiteral("7-about"));
    Save(windows.frmAgreement.get(), dir, QStringLiteral("8-agreement"));
    windows.frmAbout->hide();
    if (const int port = qEnvironmentVariableIntValue("KQ30_SCREENSHOT_UNIT_PORT")) {
      TakeUpgradePictures(form, dir, port);
      return;
    }
    QCoreApplication::exit(0);
  });
}
