// The main window's steps whose work lives with the serial port, the port
// lists, the settings file, the language files and the firmware file. The
// window calls each at its place in the start-up and closing order; each
// does its work as that code joins the window.
#include "mainform/TForm1.h"

// Device-change notifications for serial ports, registered while the window
// is built.
void TForm1::RegisterDeviceNotifications() {}

// ProgramDir, SettingsDir and SettingsFile.
void TForm1::WorkOutSettingsPaths() {}

// LanguageIndex from the settings file.
void TForm1::ReadLanguageSetting() {}

// The one serial port object: 115200 baud, no parity, 8 data bits, 1 stop
// bit, received data to the device link.
void TForm1::CreateCommObject() {}

// PortNumbers and OpenablePorts, and cbxComPort filled from PortNumbers.
void TForm1::RefreshPortLists() {}

// The upgrade sequencer's counters and flags to zero.
void TForm1::ResetUpgradeCounters() {}

// KQ-30.bin into the flash image; its version into NewFirmwareVersion.
void TForm1::LoadFirmwareFile() {}

// The saved language on the three windows.
void TForm1::ApplySavedLanguage() {}

// Connect starts an attempt to reach the unit, Disconnect (or a call with no
// sender) ends the connection.
void TForm1::OpenPortClick(QObject* /*sender*/) {}

// While the serial port object is closed, the port picked or typed becomes
// its device.
void TForm1::cbxComPortChange() {}

// The rate picked becomes the serial port object's rate.
void TForm1::cbxBaudRateChange() {}

// On a confirmed close: the port is closed if it is open.
void TForm1::CloseSerialPort() {}

// On a confirmed close: LanguageIndex into the settings file.
void TForm1::WriteLanguageSetting() {}
