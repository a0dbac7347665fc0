#include "mainform/TForm1.h"

#include <QCloseEvent>
#include <QLineEdit>

#include "app/Guarded.h"
#include "common/BaudRates.h"
#include "common/MessageBoxes.h"
#include "dialogs/TfrmAbout.h"
#include "ui_Form1.h"

namespace {

const QColor SkyBlue(0xA6, 0xCA, 0xF0);

// The flat buttons Connect and Continue share a group in which all buttons
// may be up: pressing one releases the other.
void ReleaseOtherWhenPressed(QAbstractButton* a, QAbstractButton* b) {
  QObject::connect(a, &QAbstractButton::toggled, b, [b](bool down) {
    if (down) b->setChecked(false);
  });
  QObject::connect(b, &QAbstractButton::toggled, a, [a](bool down) {
    if (down) a->setChecked(false);
  });
}

}  // namespace

TForm1::TForm1(MessageBoxes& boxes, QWidget* parent)
    : QMainWindow(parent),
      ImageListConnectToDevice(QStringLiteral(":/images/ConnectToDevice%1.png"), 2, SkyBlue),
      ImageListConnectTwoWay(QStringLiteral(":/images/ConnectTwoWay%1.png"), 8, SkyBlue),
      ui(std::make_unique<Ui::TForm1>()),
      boxes_(boxes) {
  ui->setupUi(this);
  FormCreate();
  SetUpWindow();
  ConnectHandlers();

  WorkOutSettingsPaths();
  LanguageIndex = 0;
  ReadLanguageSetting();
  SetDefaultMessages();
  CreateSerialPort();
  ShowManualDetectPage();
  ResetConnection();
  ResetUpgradeCounters();
  ui->PageControlConf->setCurrentWidget(ui->TabSheetWelcome);
  LoadFirmwareFile();
}

TForm1::~TForm1() = default;

void TForm1::FormCreate() { RegisterDeviceNotifications(); }

void TForm1::SetUpWindow() {
  // Fixed border, system menu and minimise only; the close box stays, for it
  // runs the exit query like every other way of closing.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  // The main menu is there (its entries work and take the language's
  // captions) but hidden: the window shows no menu bar.
  for (QMenu* menu : {ui->mnuFile, ui->mnuOption, ui->mnuHelp}) menu->menuAction()->setVisible(false);
  ui->MainMenu1->hide();
  setFixedSize(606, 447);

  // The tool tip of Start is the only one the window shows.
  ui->SpeedButtonStart->setToolTipDuration(-1);
  ReleaseOtherWhenPressed(ui->OpenPort, ui->SB_COMPortDetectContinue);

  Timer1 = std::make_unique<QtWizardTimer>(1000, false);
  TimerConnection = std::make_unique<QtWizardTimer>(200, false);
  PIC_Timer = std::make_unique<QtWizardTimer>(1, true, Qt::PreciseTimer);
}

void TForm1::ConnectHandlers() {
  // Each handler runs guarded: an exception it lets out is shown in the
  // exception box and the wizard goes on.
  auto on = [this](auto* sender, auto signal, void (TForm1::*handler)()) {
    connect(sender, signal, this, Guarded([this, handler] { (this->*handler)(); }));
  };
  on(ui->SpeedButtonStart, &QToolButton::clicked, &TForm1::SpeedButtonStartClick);
  on(ui->SpeedButtonExit1, &QToolButton::clicked, &TForm1::SpeedButtonExit1Click);
  on(ui->mnuExit, &QAction::triggered, &TForm1::btnExitClick);
  on(ui->RadioButtonConnectionModeManual, &QRadioButton::clicked, &TForm1::RadioButtonConnectionModeAutoClick);
  on(ui->RadioButtonConnectionModeAuto, &QRadioButton::clicked, &TForm1::RadioButtonConnectionModeAutoClick);
  connect(ui->OpenPort, &QToolButton::clicked, this, Guarded([this] { OpenPortClick(ui->OpenPort); }));
  on(ui->SB_COMPortDetectContinue, &QToolButton::clicked, &TForm1::SB_COMPortDetectContinueClick);
  on(ui->SpeedButtonCancel, &QToolButton::clicked, &TForm1::SpeedButtonCancelClick);
  on(ui->SpeedButtonFrmVerWantToContinueNo, &QToolButton::clicked, &TForm1::SpeedButtonFrmVerWantToContinueNoClick);
  on(ui->SpeedButtonFrmUpgFinish, &QToolButton::clicked, &TForm1::SpeedButtonFrmUpgFinishClick);
  on(ui->ImageLogo, &ClickableImage::clicked, &TForm1::ImageLogoClick);
  on(ui->mnuAbout, &QAction::triggered, &TForm1::mnuAboutClick);
  // The two list handlers answer the user only: a pick from the list, or a
  // port number typed in. Selections made by the wizard itself do not run them.
  on(ui->cbxComPort, &QComboBox::activated, &TForm1::cbxComPortChange);
  on(ui->cbxComPort->lineEdit(), &QLineEdit::textEdited, &TForm1::cbxComPortChange);
  on(ui->cbxBaudRate, &QComboBox::activated, &TForm1::cbxBaudRateChange);
}

void TForm1::SetDialogs(TfrmAbout* about, TfrmAgreement* agreement) {
  frmAbout_ = about;
  frmAgreement_ = agreement;
}

void TForm1::SetDefaultMessages() {
  Exit_Caption = "Exit!";
  QueryExit = "Are you sure to exit?";
  ButtonCaptions = {"Connect", "Disconnect"};
  StatusTexts = {"Disconnect...", "Connecting...", "Connected..."};
}

void TForm1::CreateSerialPort() {
  CreateCommObject();
  RefreshPortLists();
  ui->cbxBaudRate->clear();
  for (int code : BaudChoices) ui->cbxBaudRate->addItem(QString::fromLatin1(BaudRateNames[code]));
  SelectFirstPort();
  SelectDefaultBaudRate();
}

void TForm1::SelectFirstPort() {
  // The port list holds exactly the ports present, so its size is the port count.
  if (ui->cbxComPort->count() > 0) {
    ui->cbxComPort->setCurrentIndex(0);
  } else {
    ui->cbxComPort->setEditText(QStringLiteral("N/A"));
  }
}

void TForm1::SelectDefaultBaudRate() { ui->cbxBaudRate->setCurrentIndex(DefaultBaudChoice); }

void TForm1::ShowManualDetectPage() {
  ui->PageControlDetectComPortMode->setCurrentWidget(ui->TabSheetManualDetectComPort);
}

void TForm1::ResetConnection() {
  ui->EditAutoDetectComPort->clear();
  ui->EditAutoDetectBaudRate->clear();
  Timer1->SetEnabled(false);
  TimerConnection->SetEnabled(false);
  ShowConnectionStatus(0, StatusTexts[0]);
  for (QWidget* w : std::initializer_list<QWidget*>{ui->GroupBoxConnectionMode, ui->RadioButtonConnectionModeManual,
                                                    ui->RadioButtonConnectionModeAuto, ui->cbxComPort,
                                                    ui->cbxBaudRate})
    w->setEnabled(true);
}

void TForm1::ShowConnectionStatus(int index, const std::string& text) {
  ImageListConnectToDevice.Draw(index, ui->ImageConnectToDevice);
  ImageListConnectTwoWay.Draw(index, ui->ImageConnectTwoWay);
  QLabel* status = ui->LabelConnectionStatus;
  QColor colour = Qt::black;
  if (text == StatusTexts[0]) {
    status->setEnabled(false);
  } else if (text == StatusTexts[1]) {
    status->setEnabled(true);
  } else if (text == StatusTexts[2]) {
    status->setEnabled(true);
    colour = Qt::blue;
  }
  // A disabled status label reads grey whatever its font colour. Through the
  // style sheet, as the window's style sheet would undo a palette.
  status->setStyleSheet(QStringLiteral("QLabel { color: %1; } QLabel:disabled { color: #606060; }")
                            .arg(colour.name()));
  status->setText(QString::fromStdString(text));
}

// --- navigation -----------------------------------------------------------------------

void TForm1::SpeedButtonStartClick() {
  SelectFirstPort();
  SelectDefaultBaudRate();
  ui->PageControlConf->setCurrentWidget(ui->TabSheetCOMDetect);
}

void TForm1::SpeedButtonExit1Click() { close(); }

void TForm1::btnExitClick() { close(); }

void TForm1::RadioButtonConnectionModeAutoClick() {
  RefreshPortLists();
  if (ui->RadioButtonConnectionModeAuto->isChecked()) {
    ui->PageControlDetectComPortMode->setCurrentWidget(ui->TabSheetAutoConnectComPort);
    ui->EditAutoDetectComPort->clear();
    ui->EditAutoDetectBaudRate->clear();
  } else {
    ui->PageControlDetectComPortMode->setCurrentWidget(ui->TabSheetManualDetectComPort);
    SelectFirstPort();
    SelectDefaultBaudRate();
  }
}

void TForm1::SB_COMPortDetectContinueClick() {
  if (!UnitFound) {
    // Fixed texts: this one message does not come from the language file.
    boxes_.Show("Please connect first", "Message", MsgButtons::OK, MsgIcon::None);
    return;
  }
  ui->PageControlConf->setCurrentWidget(ui->TabSheetCheckVersion);
  ui->SB_COMPortDetectContinue->setChecked(false);
  ui->SB_COMPortDetectContinue->setProperty("tag", 0);
  ui->SB_COMPortDetectContinue->setEnabled(false);
  const QString version = QString::fromStdString(NewFirmwareVersion);
  ui->LabelNewVersion->setText(version);
  ui->LabelNewVersion2->setText(version);
}

void TForm1::SpeedButtonCancelClick() { ResetWizard(); }

void TForm1::SpeedButtonFrmVerWantToContinueNoClick() { ResetWizard(); }

void TForm1::SpeedButtonFrmUpgFinishClick() { ResetWizard(); }

void TForm1::ResetWizard() {
  // Nothing else is reset: the version labels, the progress page and the
  // Continue button keep what they show until they are next written.
  if (ui->OpenPort->property("tag").toInt() == 1) OpenPortClick(nullptr);
  ui->PageControlConf->setCurrentWidget(ui->TabSheetWelcome);
}

void TForm1::ImageLogoClick() { ShowAboutDialog(); }

void TForm1::mnuAboutClick() { ShowAboutDialog(); }

void TForm1::ShowAboutDialog() {
  // Not modal: the wizard stays usable. A dialog already open comes forward.
  if (!frmAbout_) return;
  frmAbout_->show();
  frmAbout_->raise();
  frmAbout_->activateWindow();
}

// --- closing ---------------------------------------------------------------------------

void TForm1::closeEvent(QCloseEvent* event) {
  RunGuarded([this, event] { FormClose(event); });
}

void TForm1::FormClose(QCloseEvent* event) {
  // The window stays until everything below has run: if saving the language
  // fails, its error is shown and the window is still there to close again.
  event->ignore();
  if (boxes_.Show(QueryExit, Exit_Caption, MsgButtons::OKCancel, MsgIcon::None) != MsgResult::OK) return;
  CloseSerialPort();
  WriteLanguageSetting();
  event->accept();
}
