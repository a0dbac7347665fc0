#pragma once
// The main window: the whole wizard. Its pages run welcome, serial port,
// version and progress, and back to welcome; a fifth page, the engineering
// page, is part of the window but no control leads to it.
#include <QMainWindow>
#include <array>
#include <memory>
#include <string>

#include "app/QtWizardTimer.h"
#include "mainform/ImageList.h"

class MessageBoxes;
class QCloseEvent;
class TfrmAbout;
class TfrmAgreement;
namespace Ui {
class TForm1;
}

class TForm1 : public QMainWindow {
  Q_OBJECT
 public:
  // Builds the window and runs the constructor's steps in order; the window
  // is ready on its welcome page afterwards (shown by the caller).
  explicit TForm1(MessageBoxes& boxes, QWidget* parent = nullptr);
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
  // The unit answered with its end-of-static-data line; Continue needs it.
  bool UnitFound = false;
  // 0 English, 1 Traditional Chinese, 2 Simplified Chinese.
  int LanguageIndex = 0;
  // The version text of the loaded firmware file, shown on the version page.
  std::string NewFirmwareVersion;

  // Language texts (English until a language file replaces them).
  std::string Exit_Caption;
  std::string QueryExit;
  std::array<std::string, 2> ButtonCaptions;  // Connect button: not connected, connected
  std::array<std::string, 3> StatusTexts;     // status by connection phase: 0 "Disconnect...", 1, 2

  // The window timers: one connection step a second, the connection
  // animation, and the upgrade sequencer's 1 ms tick (running from the start).
  std::unique_ptr<QtWizardTimer> Timer1;
  std::unique_ptr<QtWizardTimer> TimerConnection;
  std::unique_ptr<QtWizardTimer> PIC_Timer;

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
  void SB_COMPortDetectContinueClick();
  void SpeedButtonCancelClick();
  void cbxComPortChange();
  void cbxBaudRateChange();
  void SpeedButtonFrmVerWantToContinueNoClick();
  void SpeedButtonFrmUpgFinishClick();
  void ImageLogoClick();
  void mnuAboutClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

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
  void RefreshPortLists();
  void ShowManualDetectPage();
  void ResetConnection();
  void ResetUpgradeCounters();
  void LoadFirmwareFile();

  // Steps of closing.
  void CloseSerialPort();
  void WriteLanguageSetting();
  void RegisterDeviceNotifications();

  // cbxComPort: its first entry when there are ports, else the text "N/A".
  void SelectFirstPort();
  // cbxBaudRate: position 4, 115200.
  void SelectDefaultBaudRate();
  void ShowAboutDialog();

  std::unique_ptr<Ui::TForm1> ui;
  MessageBoxes& boxes_;
  TfrmAbout* frmAbout_ = nullptr;
  TfrmAgreement* frmAgreement_ = nullptr;
};
