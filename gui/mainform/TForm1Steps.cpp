// The main window's steps whose work lives with the serial port, the port
// lists, the settings file, the language files and the firmware file. The
// window calls each at its place in the start-up and closing order; each
// does its work as that code joins the window.
#include <algorithm>
#include <filesystem>
#include <utility>

#include "common/Exception.h"
#include "common/MessageBoxes.h"
#include "mainform/TForm1.h"
#include "settings/SettingsFile.h"
#include "ui_Form1.h"

// Arrivals and removals of serial devices, watched from while the window is
// built: each refreshes the port lists, and the removal of the port in use
// ends the connection.
void TForm1::RegisterDeviceNotifications() { Core->StartWatching(); }

// ProgramDir, SettingsDir and SettingsFile, with the settings folder made.
void TForm1::WorkOutSettingsPaths() {
  SettingsPaths paths = ::WorkOutSettingsPaths();
  ProgramDir = std::move(paths.ProgramDir);
  SettingsDir = std::move(paths.SettingsDir);
  SettingsFile = std::move(paths.SettingsFile);
}

// LanguageIndex from the settings file, any integer as it stands there.
void TForm1::ReadLanguageSetting() { LanguageIndex = ::ReadLanguageSetting(SettingsFile); }

// The one serial port object: 115200 baud, no parity, 8 data bits, 1 stop
// bit, received data to the device link; then PortNumbers and
// OpenablePorts, and cbxComPort filled from PortNumbers.
void TForm1::CreateCommObject() { Core->CreateSerialPort(); }

// The upgrade sequencer's counters and flags to zero.
void TForm1::ResetUpgradeCounters() { Core->Upgrade.ResetUpgradeCounters(); }

// The firmware file (KQ-30.bin from the current directory unless the wizard
// was given another) into the flash image: its version and
// date on the engineering page, its block count as the progress bar's maximum.
void TForm1::LoadFirmwareFile() {
  FirmwareFile& file = Core->Firmware;
  file = LoadFirmwareImage(FirmwarePath);
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(FirmwarePath, ec);
  FirmwareFolder = (ec ? std::filesystem::current_path(ec) : absolute.parent_path()).string();
  // A file loaded in place of another shows nothing of the one before.
  NewFirmwareVersion.clear();
  ui->LabeledEdit_Firmware_File_Version->clear();
  ui->LabeledEdit_Firmware_File_Date->clear();
  if (!file.Opened) return;
  NewFirmwareVersion = file.Version;
  ui->LabeledEdit_Firmware_File_Version->setText(QString::fromLatin1(file.Version.c_str()));
  ui->LabeledEdit_Firmware_File_Date->setText(QString::fromLatin1(file.Date.c_str()));
  if (file.Completed) {
    ui->ProgressBar1->setMinimum(0);
    ui->ProgressBar1->setMaximum(std::max(0, file.TotalBlocks()));
  }
}

// While the serial port object is closed, the port picked or typed becomes
// its device.
void TForm1::cbxComPortChange() {
  std::string text = ui->cbxComPort->currentText().toStdString();
  if (text == Core->Texts.NotAvailable) text = NotAvailableText;  // the list's entry in the language
  Core->Conn.cbxComPortChange(text);
}

// The rate picked becomes the serial port object's rate.
void TForm1::cbxBaudRateChange() { Core->Conn.cbxBaudRateChange(ui->cbxBaudRate->currentIndex()); }

// On a confirmed close: the port is closed if it is open.
void TForm1::CloseSerialPort() {
  if (Core->Comm.Connected()) Core->Comm.Close();
}

// On a confirmed close: LanguageIndex into the settings file. A file that
// can't be written is reported, and the window closes all the same: kept
// open, it would fail the same way at every later attempt to close it.
void TForm1::WriteLanguageSetting() {
  try {
    ::WriteLanguageSetting(SettingsFile, LanguageIndex);
  } catch (const Exception& e) {
    boxes_.Show(e.what(), Core->Texts.Error, MsgButtons::OK, MsgIcon::Error);
  }
}
