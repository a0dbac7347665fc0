#pragma once
// The main window: the whole wizard. Its pages run welcome, serial port,
// version and progress, and back to welcome; a fifth page, the engineering
// page, is part of the window but no control leads to it.
#include <QMainWindow>
#include <QTranslator>
#include <memory>
#include <string>

#include "app/QtWindowDispatcher.h"
#include "app/QtWizardTimer.h"
#include "mainform/ImageList.h"
#include "wizard/WizardCore.h"

class MessageBoxes;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class TfrmAbout;
class TfrmAgreement;
namespace Ui {
class TForm1;
}

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // Builds the window and runs the constructor's steps in order; the window
  // is ready on its welcome page afterwards (shown by the caller). The
  // firmware file is KQ-30.bin in the current folder unless one is named.
  explicit TForm1(MessageBoxes& boxes, std::string firmwarePath = FirmwareFileName, QWidget* parent = nullptr);
  ~TForm1() override;

  // The two dialogs, created after the main window by the start-up sequence.
  void SetDialogs(TfrmAbout* about, TfrmAgreement* agreement);

  // The start-up sequence's last step before the message loop: the saved
  // language's captions and messages on all three windows.
  void ApplySavedLanguage();

  // Back to the welcome page, ending a connection that is wanted.
  void ResetWizard();

  // The status pictures and text of the serial-port page: picture index of
  // both image lists and one of the three status texts.
  void ShowConnectionStatus(int index, const std::string& text);

  // --- state the wizard's pages work with ---------------------------------------
  // 0 English, 1 Traditional Chinese, 2 Simplified Chinese.
  int LanguageIndex = 0;
  // The program's folder, the folder of the settings file and that file; set
  // once by the constructor.
  std::string ProgramDir;
  std::string SettingsDir;
  std::string SettingsFile;
  // The firmware file the constructor loads, and its version text, shown on
  // the version page; FirmwareFolder is the folder it was loaded from.
  std::string FirmwarePath;
  std::string NewFirmwareVersion;
  std::string FirmwareFolder;

  // The window timers: one connection step a second, the connection
  // animation, and the upgrade sequencer's 1 ms tick (running only while the
  // sequencer has work).
  std::unique_ptr<QtWizardTimer> Timer1;
  std::unique_ptr<QtWizardTimer> TimerConnection;
  std::unique_ptr<QtWizardTimer> PIC_Timer;

  // The serial port, the port lists, the device link and the connection
  // logic, with the language texts; the window shows their state.
  QtWindowDispatcher Dispatcher;
  std::unique_ptr<WizardCore> Core;

  // The connection status pictures: 0 apart, 1 linked (both lists);
  // 2..7 of the two-way list are the frames of the connecting animation.
  TImageList ImageListConnectToDevice;
  TImageList ImageListConnectTwoWay;

 public slots:
  void SpeedButtonStartClick();
  void SpeedButtonExit1Click();
  void btnExitClick();
  void RadioButtonConnectionModeAutoClick();
  void OpenPortClick(QObject* sender = nullptr);
  void Timer1Timer();
  void TimerConnectionTimer();
  void SB_COMPortDetectContinueClick();
  void SpeedButtonCancelClick();
  void cbxComPortChange();
  void cbxBaudRateChange();
  void SpeedButtonFrmVerWantToContinueYesClick();
  void SpeedButtonFrmVerWantToContinueNoClick();
  void SpeedButton_WritePICFlashClick();
  void SpeedButton_VerifyPICFlashClick();
  void SpeedButton_ErasePICFlashClick();
  void SpeedButton_RunToApplicationClick();
  void PIC_TimerTimer();
  void SpeedButtonFrmUpgFinishClick();
  void ImageLogoClick();
  void mnuAboutClick();
  // The three language entries: the sender's tag picks the language.
  void mnuLangTraChineseClick(QObject* sender);
  void spbBaudRateClick();
  // Ctrl+Shift+F12: the engineering page, for technicians.
  void ShowEngineeringPage();
  // A firmware file dropped on the window, loaded as the program's argument
  // is; false, with nothing loaded, while an upgrade or an engineering
  // operation may run.
  bool LoadDroppedFirmware(const QString& path);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // The exit query; the window closes only on OK.
  void FormClose(QCloseEvent* event);
  // Runs while the layout is built, before the constructor's own steps.
  void FormCreate();
  void SetUpWindow();
  void ConnectHandlers();

  // The constructor's steps.
  void WorkOutSettingsPaths();
  void ReadLanguageSetting();
  void SetDefaultMessages();
  void CreateSerialPort();
  void CreateCommObject();
  void ShowManualDetectPage();
  void ResetConnection();
  void ResetUpgradeCounters();
  void LoadFirmwareFile();

  // Steps of closing.
  void CloseSerialPort();
  void WriteLanguageSetting();
  void RegisterDeviceNotifications();

  void ShowAboutDialog();
  // The serial-port page as the connection logic has it.
  void ShowSerialPage();
  // The progress page as the upgrade sequencer has it.
  void ShowProgressPage();
  // The version labels, the engineering page's rate lists and the line log.
  void ShowDeviceLink();
  // The firmware file's version, name and folder on the version page.
  void ShowFirmwareFile();
  // The texts set by code in the language just loaded; before: those of
  // the language before.
  void ShowLanguageTexts(const LanguageTexts& before);
  // A dropped file may be taken now: no upgrade has begun.
  bool TakesFirmwareDrops() const;
  // A text of the serial-port page as shown: "N/A" in the language.
  QString Shown(const std::string& text) const;
  static constexpr const char* NotAvailableText = "N/A";
  // The device and description of the port in cbxComPort, and why it can't be
  // opened when that is so.
  void ShowPortDetails();

  // Where the language file's captions go.
  class Captions;

  std::unique_ptr<Ui::TForm1> ui;
  size_t memoLinesShown_ = 0;  // of the device link's line log
  MessageBoxes& boxes_;
  TfrmAbout* frmAbout_ = nullptr;
  TfrmAgreement* frmAgreement_ = nullptr;
  // Qt's own texts in the interface language: the standard buttons of the
  // message boxes.
  QTranslator qtTexts_;
};
