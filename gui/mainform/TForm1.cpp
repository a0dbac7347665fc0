#include "mainform/TForm1.h"

#include <QAccessible>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include "app/Guarded.h"
#include "app/StartUp.h"
#include "common/BaudRates.h"
#include "common/MessageBoxes.h"
#include "dialogs/TfrmAbout.h"
#include "mainform/Decoration.h"
#include "mainform/PageKeys.h"
#include "ui_Form1.h"

namespace {

const QColor SkyBlue(0xA6, 0xCA, 0xF0);

// Handles the window's events, but not the user's input, until done() holds
// or the time is up.
bool RunWindowUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  if (done()) return true;
  QEventLoop loop;
  QElapsedTimer clock;
  clock.start();
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (done() || clock.elapsed() >= limit.count()) loop.quit();
  });
  poll.start(5);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  return done();
}

}  // namespace

TForm1::TForm1(MessageBoxes& boxes, std::string firmwarePath, QWidget* parent)
    : QMainWindow(parent),
      ImageListConnectToDevice(QStringLiteral(":/images/ConnectToDevice%1.png"), 2, SkyBlue),
      ImageListConnectTwoWay(QStringLiteral(":/images/ConnectTwoWay%1.png"), 8, SkyBlue),
      ui(std::make_unique<Ui::TForm1>()),
      boxes_(boxes) {
  FirmwarePath = std::move(firmwarePath);
  HideDecorationFromScreenReaders();  // before any of the window's pictures is asked for
  ui->setupUi(this);
  SetUpWindow();
  FormCreate();
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

void TForm1::FormCreate() {
  Core = std::make_unique<WizardCore>(Dispatcher, boxes_, *Timer1, *TimerConnection);
  Core->Conn.OnChanged = [this] { ShowSerialPage(); };
  Core->Link.OnChanged = [this] { ShowDeviceLink(); };
  UpgradeSequencer& upgrade = Core->Upgrade;
  upgrade.OnChanged = [this] { ShowProgressPage(); };
  upgrade.ShowProgressPage = [this] { ui->PageControlConf->setCurrentWidget(ui->TabSheetFirmwareProgress); };
  upgrade.ResetWizard = [this] { ResetWizard(); };
  upgrade.PIC_Timer = PIC_Timer.get();
  // The window keeps painting through the upgrade's two pauses and the
  // question to a unit in its boot loader; the user's clicks wait until
  // they are over.
  upgrade.Pause = [](std::chrono::milliseconds pause) { RunWindowUntil([] { return false; }, pause); };
  Core->Rescue.WaitUntil = RunWindowUntil;
  // The page starts as designed.
  upgrade.Page.StatusText = ui->LabelProgressStatusText->text().toStdString();
  upgrade.Page.Notice = ui->StaticText1->text().toStdString();
  upgrade.Page.FinishEnabled = ui->SpeedButtonFrmUpgFinish->isEnabled();
  RegisterDeviceNotifications();
}

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
  move(463, 225);  // the designed place, which generated layout code leaves out

  // A firmware file may be dropped on the window (see dragEnterEvent).
  setAcceptDrops(true);
  // The tool tip of Start is the only one the window shows.
  ui->SpeedButtonStart->setToolTipDuration(-1);
  // The line log keeps the newest lines, as the device link's own log does.
  ui->MemoRecord->setMaximumBlockCount(static_cast<int>(LineLog::MaxLines));

  Timer1 = std::make_unique<QtWizardTimer>(1000, false);
  TimerConnection = std::make_unique<QtWizardTimer>(200, false);
  Timer1->OnTimer = [this] { Timer1Timer(); };
  TimerConnection->OnTimer = [this] { TimerConnectionTimer(); };
  // Started and stopped by the sequencer: it ticks only while there is work.
  PIC_Timer = std::make_unique<QtWizardTimer>(1, false, Qt::PreciseTimer);
  PIC_Timer->OnTimer = [this] { PIC_TimerTimer(); };
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
  on(ui->SpeedButtonFrmVerWantToContinueYes, &QToolButton::clicked, &TForm1::SpeedButtonFrmVerWantToContinueYesClick);
  on(ui->SpeedButtonFrmVerWantToContinueNo, &QToolButton::clicked, &TForm1::SpeedButtonFrmVerWantToContinueNoClick);
  on(ui->SpeedButton_WritePICFlash, &QToolButton::clicked, &TForm1::SpeedButton_WritePICFlashClick);
  on(ui->SpeedButton_VerifyPICFlash, &QToolButton::clicked, &TForm1::SpeedButton_VerifyPICFlashClick);
  on(ui->SpeedButton_ErasePICFlash, &QToolButton::clicked, &TForm1::SpeedButton_ErasePICFlashClick);
  on(ui->SpeedButton_RunToApplication, &QToolButton::clicked, &TForm1::SpeedButton_RunToApplicationClick);
  on(ui->SpeedButtonFrmUpgFinish, &QToolButton::clicked, &TForm1::SpeedButtonFrmUpgFinishClick);
  on(ui->ImageLogo, &ClickableImage::clicked, &TForm1::ImageLogoClick);
  on(ui->mnuAbout, &QAction::triggered, &TForm1::mnuAboutClick);
  for (QAction* entry : {ui->mnuLangEnglish, ui->mnuLangTraChinese, ui->mnuLangSimpChinese})
    connect(entry, &QAction::triggered, this, Guarded([this, entry] { mnuLangTraChineseClick(entry); }));
  // The two list handlers answer the user only: a pick from the list, or a
  // port number typed in. Selections made by the wizard itself do not run them.
  on(ui->cbxComPort, &QComboBox::activated, &TForm1::cbxComPortChange);
  on(ui->cbxComPort->lineEdit(), &QLineEdit::textEdited, &TForm1::cbxComPortChange);
  on(ui->cbxBaudRate, &QComboBox::activated, &TForm1::cbxBaudRateChange);
  on(ui->spbBaudRate, &QToolButton::clicked, &TForm1::spbBaudRateClick);
  // The rate lists show the device link's choice; a pick of the user's
  // becomes it, so the unit's next rate line and the user agree.
  connect(ui->cbxBaud_RS232, &QComboBox::activated, this, [this](int i) { Core->Link.BaudRs232Index = i; });
  connect(ui->cbxBaud_NMEA, &QComboBox::activated, this, [this](int i) { Core->Link.BaudNmeaIndex = i; });
  // The engineering page has no tab and no control leads to it.
  auto* engineering = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F12), this);
  engineering->setContext(Qt::WindowShortcut);
  on(engineering, &QShortcut::activated, &TForm1::ShowEngineeringPage);
  // The wizard by keyboard alone: Enter for each page's main button, Esc for
  // its Cancel. Connect is the main button only while nothing is connected
  // or being connected, so that a second Enter does not undo the first.
  auto* keys = new PageKeys(this, ui->PageControlConf);
  keys->SetDefault(ui->TabSheetWelcome, [this] { return ui->SpeedButtonStart; });
  keys->SetDefault(ui->TabSheetCOMDetect, [this]() -> QAbstractButton* {
    if (ui->SB_COMPortDetectContinue->isEnabled()) return ui->SB_COMPortDetectContinue;
    return Core->Conn.Page.ConnectTag == 0 ? ui->OpenPort : nullptr;
  });
  keys->SetDefault(ui->TabSheetCheckVersion, [this] { return ui->SpeedButtonFrmVerWantToContinueYes; });
  keys->SetDefault(ui->TabSheetFirmwareProgress, [this] { return ui->SpeedButtonFrmUpgFinish; });
  keys->SetCancel(ui->TabSheetCOMDetect, ui->SpeedButtonCancel);
  keys->SetCancel(ui->TabSheetCheckVersion, ui->SpeedButtonFrmVerWantToContinueNo);
}

void TForm1::SetDialogs(TfrmAbout* about, TfrmAgreement* agreement) {
  frmAbout_ = about;
  frmAgreement_ = agreement;
}

void TForm1::SetDefaultMessages() { Core->Texts.SetDefaultMessages(); }

void TForm1::CreateSerialPort() {
  CreateCommObject();  // and the port lists, which fill cbxComPort
  ui->cbxBaudRate->clear();
  for (int code : BaudChoices) ui->cbxBaudRate->addItem(QString::fromLatin1(BaudRateNames[code]));
  Core->Conn.SelectDefaults();
}

void TForm1::ShowManualDetectPage() {
  ui->PageControlDetectComPortMode->setCurrentWidget(ui->TabSheetManualDetectComPort);
}

void TForm1::ResetConnection() {
  Core->Conn.ResetConnection();
  ShowSerialPage();
}

void TForm1::ShowConnectionStatus(int index, const std::string& text) {
  Core->Conn.ShowConnectionStatus(index, text);
  ShowSerialPage();
}

void TForm1::ShowSerialPage() {
  const SerialPage& page = Core->Conn.Page;
  ui->RadioButtonConnectionModeAuto->setChecked(page.AutoMode);
  ui->RadioButtonConnectionModeManual->setChecked(!page.AutoMode);

  QComboBox* ports = ui->cbxComPort;
  QStringList entries;
  for (const auto& e : page.ComPortEntries) entries << Shown(e);
  QStringList shown;
  for (int i = 0; i < ports->count(); ++i) shown << ports->itemText(i);
  if (entries != shown) {
    ports->clear();
    ports->addItems(entries);
  }
  if (page.ComPortIndex >= 0 && page.ComPortIndex < ports->count()) ports->setCurrentIndex(page.ComPortIndex);
  const QString portText = Shown(page.ComPortText);
  if (ports->currentText() != portText) ports->setEditText(portText);
  ui->cbxBaudRate->setCurrentIndex(page.BaudRateIndex);
  ui->EditAutoDetectComPort->setText(Shown(page.AutoPortText));
  ui->EditAutoDetectBaudRate->setText(Shown(page.AutoBaudText));

  ImageListConnectToDevice.Draw(page.ToDeviceImage, ui->ImageConnectToDevice);
  ImageListConnectTwoWay.Draw(page.TwoWayImage, ui->ImageConnectTwoWay);
  // A screen reader names the status pictures by the status they show, and
  // the port typed in by the list's label, in the language shown.
  const QString statusName = QString::fromStdString(page.StatusText);
  for (QWidget* w : std::initializer_list<QWidget*>{ui->ImageConnectToDevice, ui->ImageConnectTwoWay})
    if (w->accessibleName() != statusName) w->setAccessibleName(statusName);
  if (QLineEdit* typed = ui->cbxComPort->lineEdit(); typed->accessibleName() != ui->lblSerialPort->text())
    typed->setAccessibleName(ui->lblSerialPort->text());
  QLabel* status = ui->LabelConnectionStatus;
  status->setEnabled(page.Look != StatusLook::Disabled);
  const char* colour = page.Look == StatusLook::Blue ? "#0000ff" : page.Look == StatusLook::Red ? "#ff0000" : "#000000";
  // A disabled status label reads grey whatever its font colour. Through the
  // style sheet, as the window's style sheet would undo a palette.
  status->setStyleSheet(QStringLiteral("QLabel { color: %1; } QLabel:disabled { color: #606060; }").arg(colour));
  status->setText(QString::fromStdString(page.StatusText));

  // Only the choices are locked while connecting: the status inside the same
  // box must keep its colours and pictures.
  for (QWidget* w : std::initializer_list<QWidget*>{ui->RadioButtonConnectionModeManual,
                                                    ui->RadioButtonConnectionModeAuto, ui->cbxComPort,
                                                    ui->cbxBaudRate})
    w->setEnabled(page.ControlsEnabled);

  ui->OpenPort->setText(QString::fromStdString(page.ConnectCaption));
  ui->OpenPort->setChecked(page.ConnectDown);
  ui->OpenPort->setProperty("tag", page.ConnectTag);
  ui->SB_COMPortDetectContinue->setEnabled(page.ContinueEnabled);
  ui->SB_COMPortDetectContinue->setChecked(page.ContinueDown);
  ui->SB_COMPortDetectContinue->setProperty("tag", page.ContinueTag);
  ShowPortDetails();
}

QString TForm1::Shown(const std::string& text) const {
  return QString::fromStdString(text == NotAvailableText ? Core->Texts.NotAvailable : text);
}

void TForm1::ShowPortDetails() {
  QString details, identity;
  const SerialPage& page = Core->Conn.Page;
  bool isNumber = !page.ComPortText.empty() &&
                  page.ComPortText.find_first_not_of("0123456789") == std::string::npos && page.ComPortText.size() < 6;
  if (isNumber) {
    if (auto d = Core->Lists.PortDetails(std::stoi(page.ComPortText))) {
      details = QString::fromStdString(d->Port.Device + " \u2014 " + d->Port.Description);
      if (!d->Probe.Why.empty()) details += QString::fromStdString(" (" + d->Probe.Why + ")");
      // The adapter's own texts, escaped: they need not be UTF-8.
      std::string text = IdentityText(d->Port.Identity);
      for (const std::string& note : d->Port.Notes) text += (text.empty() ? "" : ". ") + note;
      identity = QString::fromStdString(text);
    } else {
      details = QString::fromStdString(FillIn(Core->Texts.PortNotPresent, {page.ComPortText}));
    }
  } else {
    // No port to tell of: perhaps one that was plugged in went unseen.
    details = QString::fromStdString(Core->Lists.WatchProblem());
  }
  // Start's is the only tool tip the window shows: a text too long for the
  // label is cut at its end instead.
  QLabel* label = ui->LabelPortDevice;
  label->setText(label->fontMetrics().elidedText(details, Qt::ElideRight, label->width()));
  ui->LabelPortDevice->setVisible(!page.AutoMode);
  ui->LabelPortIdentity->setText(identity);
  ui->LabelPortIdentity->setVisible(!page.AutoMode);
}

void TForm1::ShowProgressPage() {
  const ProgressPage& page = Core->Upgrade.Page;
  ui->ProgressBar1->setValue(page.Position);
  ui->LabelProgressValue->setText(QString::fromStdString(page.ValueText));
  const QString status = QString::fromStdString(page.StatusText);
  if (ui->LabelProgressStatusText->text() != status) {
    ui->LabelProgressStatusText->setText(status);
    // The bar is named by the status line above it: its name changed too.
    QAccessibleEvent renamed(ui->ProgressBar1, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&renamed);
  }
  ui->StaticText1->setText(QString::fromStdString(page.Notice));
  ui->SpeedButtonFrmUpgFinish->setEnabled(page.FinishEnabled);
  ui->LabelProgressTimeLeft->setText(QString::fromStdString(page.TimeLeft));
}

void TForm1::ShowDeviceLink() {
  const DeviceLink& link = Core->Link;
  const QString version = QString::fromStdString(link.OriginalVersion);
  ui->LabelOriginalVersion->setText(version);
  ui->LabelOriginalVersion2->setText(version);
  ui->cbxBaud_RS232->setCurrentIndex(link.BaudRs232Index);
  ui->cbxBaud_NMEA->setCurrentIndex(link.BaudNmeaIndex);
  // Only the lines added since the last look go into the memo.
  const auto& lines = link.MemoRecord.Lines();
  size_t fresh = std::min(lines.size(), link.MemoRecord.Added() - memoLinesShown_);
  for (size_t i = lines.size() - fresh; i < lines.size(); ++i)
    ui->MemoRecord->appendPlainText(QString::fromLatin1(lines[i].data(), static_cast<int>(lines[i].size())));
  memoLinesShown_ = link.MemoRecord.Added();
}

// --- navigation -----------------------------------------------------------------------

void TForm1::SpeedButtonStartClick() {
  Core->Conn.SelectDefaults();
  ui->PageControlConf->setCurrentWidget(ui->TabSheetCOMDetect);
}

void TForm1::SpeedButtonExit1Click() { close(); }

void TForm1::btnExitClick() { close(); }

void TForm1::RadioButtonConnectionModeAutoClick() {
  bool automatic = ui->RadioButtonConnectionModeAuto->isChecked();
  ui->PageControlDetectComPortMode->setCurrentWidget(automatic ? ui->TabSheetAutoConnectComPort
                                                               : ui->TabSheetManualDetectComPort);
  Core->Conn.RadioButtonConnectionModeAutoClick(automatic);
}

void TForm1::OpenPortClick(QObject* sender) {
  // The button toggled itself on the click; the connection logic keeps its
  // pressed state and the page is drawn from there.
  Core->Conn.OpenPortClick(sender != nullptr);
}

void TForm1::Timer1Timer() { Core->Conn.Timer1Timer(); }

void TForm1::TimerConnectionTimer() { Core->Conn.TimerConnectionTimer(); }

void TForm1::SB_COMPortDetectContinueClick() {
  if (!Core->Conn.SB_COMPortDetectContinueClick()) return;
  ui->PageControlConf->setCurrentWidget(ui->TabSheetCheckVersion);
  ShowFirmwareFile();
}

void TForm1::ShowFirmwareFile() {
  const QString version = QString::fromStdString(NewFirmwareVersion);
  ui->LabelNewVersion->setText(version);
  ui->LabelNewVersion2->setText(version);
  // The names keep the system's 8-bit encoding; a long folder loses its
  // middle, so that the file's name and the folder's end stay in sight.
  const QString folder = QDir::toNativeSeparators(QFile::decodeName(FirmwareFolder.c_str()));
  const QString name = QFile::decodeName(std::filesystem::path(FirmwarePath).filename().string().c_str());
  const QString file = QString::fromStdString(
      FillIn(Core->Texts.FirmwareFileInFolder, {name.toStdString(), folder.toStdString()}));
  QLabel* label = ui->LabelNewFile;
  label->setText(label->fontMetrics().elidedText(file, Qt::ElideMiddle, label->width()));
}

// --- a firmware file dropped on the window ----------------------------------------------

bool TForm1::TakesFirmwareDrops() const {
  // Before Yes only: from then on the progress page shows until Finish, and
  // the engineering page's operations run on the file loaded.
  QWidget* page = ui->PageControlConf->currentWidget();
  const bool beforeUpgrade =
      page == ui->TabSheetWelcome || page == ui->TabSheetCOMDetect || page == ui->TabSheetCheckVersion;
  return beforeUpgrade && Core->Upgrade.UpgradeState == usIdle;
}

namespace {
// The one local file a drag carries, or nothing.
QString DroppedFile(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile()) return {};
  return data->urls().front().toLocalFile();
}
}  // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (TakesFirmwareDrops() && !DroppedFile(event->mimeData()).isEmpty())
    event->acceptProposedAction();
  else
    event->ignore();
}

void TForm1::dropEvent(QDropEvent* event) {
  const QString path = DroppedFile(event->mimeData());
  if (path.isEmpty()) return event->ignore();
  RunGuarded([&] {
    if (LoadDroppedFirmware(path))
      event->acceptProposedAction();
    else
      event->ignore();
  });
}

bool TForm1::LoadDroppedFirmware(const QString& path) {
  if (!TakesFirmwareDrops()) return false;
  // As the program's argument: the wizard goes on in the file's folder.
  FirmwarePath = EnterFirmwareFolder(QFile::encodeName(path).toStdString());
  LoadFirmwareFile();
  ShowFirmwareFile();
  return true;
}

void TForm1::SpeedButtonCancelClick() { ResetWizard(); }

void TForm1::SpeedButtonFrmVerWantToContinueYesClick() { Core->Upgrade.SpeedButtonFrmVerWantToContinueYesClick(); }

void TForm1::SpeedButtonFrmVerWantToContinueNoClick() { ResetWizard(); }

void TForm1::SpeedButton_WritePICFlashClick() { Core->Upgrade.SpeedButton_WritePICFlashClick(); }

void TForm1::SpeedButton_VerifyPICFlashClick() { Core->Upgrade.SpeedButton_VerifyPICFlashClick(); }

void TForm1::SpeedButton_ErasePICFlashClick() { Core->Upgrade.SpeedButton_ErasePICFlashClick(); }

void TForm1::SpeedButton_RunToApplicationClick() { Core->Upgrade.SpeedButton_RunToApplicationClick(); }

void TForm1::PIC_TimerTimer() { Core->Upgrade.PIC_TimerTimer(); }

void TForm1::SpeedButtonFrmUpgFinishClick() { ResetWizard(); }

void TForm1::ResetWizard() {
  // Nothing else is reset: the version labels, the progress page and the
  // Continue button keep what they show until they are next written.
  Core->Conn.EndWantedConnection();
  ui->PageControlConf->setCurrentWidget(ui->TabSheetWelcome);
}

void TForm1::spbBaudRateClick() {
  Core->spbBaudRateClick(ui->cbxBaud_RS232->currentIndex(), ui->cbxBaud_NMEA->currentIndex());
  ShowSerialPage();
  ui->spbBaudRate->setChecked(false);
}

void TForm1::ShowEngineeringPage() { ui->PageControlConf->setCurrentWidget(ui->TabSheetFirmwareUpgrade); }

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
  // The window stays until everything below has run. A language that can't
  // be saved is reported by WriteLanguageSetting and the window still closes.
  event->ignore();
  if (boxes_.Show(Core->Texts.QueryExit, Core->Texts.Exit_Caption, MsgButtons::OKCancel, MsgIcon::None) != MsgResult::OK) return;
  CloseSerialPort();
  WriteLanguageSetting();
  event->accept();
}
