#include "lang/LanguageFile.h"

#include <fstream>

#include "common/RegularFile.h"
#include "lang/TextDecoding.h"
#include "settings/IniFile.h"
#include "settings/IniText.h"

namespace {

template <std::string LanguageTexts::*Member>
std::string* TextOf(LanguageTexts& texts) {
  return &(texts.*Member);
}

template <int Index>
std::string* ButtonCaption(LanguageTexts& texts) {
  return &texts.ButtonCaptions[Index];
}

LanguageRow Menu(const char* key, const char* control) { return {"MENU", key, "Form1", control, nullptr}; }

LanguageRow Form1(const char* section, const char* key, const char* control) {
  return {section, key, "Form1", control, nullptr};
}

template <std::string LanguageTexts::*Member>
LanguageRow Text(const char* section, const char* key) {
  return {section, key, nullptr, nullptr, TextOf<Member>};
}

}  // namespace

const std::array<LanguageRow, LanguageRowCount> LanguageRows = {{
    Menu("File", "mnuFile"),
    Menu("File_Exit", "mnuExit"),
    Menu("Option", "mnuOption"),
    Menu("Option_Language", "mnuLanguage"),
    Menu("Option_Language_English", "mnuLangEnglish"),
    Menu("Option_Language_TraChinese", "mnuLangTraChinese"),
    Menu("Option_Language_SimpChinese", "mnuLangSimpChinese"),
    Menu("Help", "mnuHelp"),
    Menu("Help_About", "mnuAbout"),
    {"SYS_BUTTON", "Connect", nullptr, nullptr, ButtonCaption<0>},
    {"SYS_BUTTON", "Disconnect", nullptr, nullptr, ButtonCaption<1>},
    {"TAB_BAUD", "Firmware Upgrade", "Form1", "TabSheetFirmwareUpgrade", nullptr},
    {"TAB_BAUD", "Baud Rate Config", "Form1", "spbBaudRate", nullptr},
    {"TAB_BAUD", "DeviceBaudRateHasBeenChanged", nullptr, nullptr,
     TextOf<&LanguageTexts::DeviceBaudRateHasBeenChanged>},
    {"TAB_BAUD", "PleaseChangePcBaudRateInAccordance", nullptr, nullptr,
     TextOf<&LanguageTexts::PleaseChangePcBaudRateInAccordance>},
    {"TAB_BAUD", "BaudRateChanged", nullptr, nullptr, TextOf<&LanguageTexts::BaudRateChanged>},
    {"CONFIG_SERIAL_PORT", "Serial_Port", "Form1", "LabelAutoComPort", nullptr},
    {"CONFIG_SERIAL_PORT", "Baud_Rate", "Form1", "LabelAutoBaudRate", nullptr},
    {"CONFIG_SERIAL_PORT", "Serial_Port", "Form1", "lblSerialPort", nullptr},
    {"CONFIG_SERIAL_PORT", "Baud_Rate", "Form1", "lblBaudRate", nullptr},
    {"CONFIG_SERIAL_PORT", "Setting", "Form1", "GroupBoxConnectionMode", nullptr},
    {"CONFIG_SERIAL_PORT", "Auto", "Form1", "RadioButtonConnectionModeAuto", nullptr},
    {"CONFIG_SERIAL_PORT", "Manual", "Form1", "RadioButtonConnectionModeManual", nullptr},
    {"CONFIG_SERIAL_PORT", "Connecting", nullptr, nullptr, TextOf<&LanguageTexts::Connecting>},
    {"CONFIG_SERIAL_PORT", "Connected", nullptr, nullptr, TextOf<&LanguageTexts::Connected>},
    {"CONFIG_SERIAL_PORT", "Disconnect", nullptr, nullptr, TextOf<&LanguageTexts::Disconnect>},
    {"EXIT_QUERY", "Exit_Caption", nullptr, nullptr, TextOf<&LanguageTexts::Exit_Caption>},
    {"EXIT_QUERY", "QueryExit", nullptr, nullptr, TextOf<&LanguageTexts::QueryExit>},
    {"AGREEMENT", "Agree", "frmAgreement", "ButtonAgree", nullptr},
    {"AGREEMENT", "Cancel", "frmAgreement", "ButtonCancel", nullptr},
    {"ABOUT", "Product", "frmAbout", "StaticTextProduct", nullptr},
    {"ABOUT", "OK", "frmAbout", "btnOK", nullptr},
    {"OTHER_MSG", "Warning", nullptr, nullptr, TextOf<&LanguageTexts::Warning>},
    {"OTHER_MSG", "Error", nullptr, nullptr, TextOf<&LanguageTexts::Error>},
    {"OTHER_MSG", "PortOpenError", nullptr, nullptr, TextOf<&LanguageTexts::PortOpenError>},
    {"OTHER_MSG", "NoSerialPortExist", nullptr, nullptr, TextOf<&LanguageTexts::NoSerialPortExist>},
    {"OTHER_MSG", "ManualConnectTimeOut", nullptr, nullptr, TextOf<&LanguageTexts::ManualConnectTimeOut>},
    {"OTHER_MSG", "PortLostDuringUpgrade", nullptr, nullptr, TextOf<&LanguageTexts::PortLostDuringUpgrade>},
    // The rows after the first 37: every other text the wizard shows.
    Form1("MAIN_WINDOW", "Title", "Form1"),
    Form1("MAIN_WINDOW", "Welcome", "StaticText2"),
    Form1("WELCOME", "Title", "StaticTextStartTitle"),
    Form1("WELCOME", "Item1", "StaticTextStartDescription1"),
    Form1("WELCOME", "Item2", "StaticTextStartDescription2"),
    Form1("WELCOME", "Item3", "StaticTextStartDescription3"),
    Form1("WELCOME", "Start", "SpeedButtonStart"),
    Text<&LanguageTexts::StartHint>("WELCOME", "Start_Hint"),
    Form1("WELCOME", "Exit", "SpeedButtonExit1"),
    Form1("CONFIG_SERIAL_PORT", "Title", "LabelConnectDeviceTitle"),
    Form1("CONFIG_SERIAL_PORT", "Note1", "StaticTextSerialPortNote1"),
    Form1("CONFIG_SERIAL_PORT", "Note2", "StaticTextSerialPortNote2"),
    Form1("CONFIG_SERIAL_PORT", "Continue", "SB_COMPortDetectContinue"),
    Form1("CONFIG_SERIAL_PORT", "Cancel", "SpeedButtonCancel"),
    Text<&LanguageTexts::ForceConnect>("CONFIG_SERIAL_PORT", "ForceConnect"),
    Text<&LanguageTexts::DetectingFailed>("CONFIG_SERIAL_PORT", "DetectingFailed"),
    Text<&LanguageTexts::PleaseConnectFirst>("CONFIG_SERIAL_PORT", "PleaseConnectFirst"),
    Text<&LanguageTexts::PortNotPresent>("CONFIG_SERIAL_PORT", "PortNotPresent"),
    Text<&LanguageTexts::NotAvailable>("CONFIG_SERIAL_PORT", "NotAvailable"),
    Form1("CHECK_VERSION", "Title", "LabelFrmVerTitle"),
    Form1("CHECK_VERSION", "Original", "LabelFrmVerOriginal"),
    Form1("CHECK_VERSION", "New", "LabelFrmVerNew"),
    Form1("CHECK_VERSION", "File", "LabelFrmVerFile"),
    Text<&LanguageTexts::FirmwareFileInFolder>("CHECK_VERSION", "FileInFolder"),
    Form1("CHECK_VERSION", "Original_Short", "LabelFrmVerOriginal2"),
    Form1("CHECK_VERSION", "New_Short", "LabelFrmVerNew2"),
    Form1("CHECK_VERSION", "WantToContinue", "LabelFrmVerWantToContinue"),
    Form1("CHECK_VERSION", "Yes", "SpeedButtonFrmVerWantToContinueYes"),
    Form1("CHECK_VERSION", "No", "SpeedButtonFrmVerWantToContinueNo"),
    Form1("UPGRADE", "Title", "LabelProgressTitle"),
    Text<&LanguageTexts::UpgradeInProcess>("UPGRADE", "InProcess"),
    Text<&LanguageTexts::UpgradeFinished>("UPGRADE", "Finished"),
    Text<&LanguageTexts::FirmwareStatus>("UPGRADE", "Status"),
    Text<&LanguageTexts::Programming>("UPGRADE", "Programming"),
    Text<&LanguageTexts::ProgrammingDots>("UPGRADE", "Programming_Dots"),
    Text<&LanguageTexts::Verifying>("UPGRADE", "Verifying"),
    Text<&LanguageTexts::VerifyingDots>("UPGRADE", "Verifying_Dots"),
    Text<&LanguageTexts::Success>("UPGRADE", "Success"),
    Text<&LanguageTexts::SecondsLeft>("UPGRADE", "Seconds_Left"),
    Text<&LanguageTexts::MinutesLeft>("UPGRADE", "Minutes_Left"),
    Form1("UPGRADE", "Finish", "SpeedButtonFrmUpgFinish"),
    Text<&LanguageTexts::ProgrammingFail>("UPGRADE", "ProgrammingFail"),
    Text<&LanguageTexts::VerifyFail>("UPGRADE", "VerifyFail"),
    Form1("TAB_BAUD", "Write_Flash", "SpeedButton_WritePICFlash"),
    Form1("TAB_BAUD", "Verify_Flash", "SpeedButton_VerifyPICFlash"),
    Form1("TAB_BAUD", "Erase_Flash", "SpeedButton_ErasePICFlash"),
    Form1("TAB_BAUD", "Run_Program", "SpeedButton_RunToApplication"),
    Form1("TAB_BAUD", "Date_Time", "LabeledEdit_Firmware_File_DateLabel"),
    Form1("TAB_BAUD", "Firmware_Version", "LabeledEdit_Firmware_File_VersionLabel"),
    Form1("TAB_BAUD", "Baud_Rate_Config_Label", "Label3"),
    Form1("TAB_BAUD", "RS232", "Label1"),
    Form1("TAB_BAUD", "NMEA", "Label2"),
    Text<&LanguageTexts::EraseSuccess>("TAB_BAUD", "EraseSuccess"),
    Text<&LanguageTexts::EraseFail>("TAB_BAUD", "EraseFail"),
    Text<&LanguageTexts::RescueFound>("RESCUE", "Found"),
    Text<&LanguageTexts::RescueQuestion>("RESCUE", "Question"),
    Text<&LanguageTexts::RescuePortNotOpen>("RESCUE", "PortNotOpen"),
    Text<&LanguageTexts::Message>("OTHER_MSG", "Message"),
    Text<&LanguageTexts::FirmwareUnended>("FIRMWARE_FILE", "Unended"),
    Text<&LanguageTexts::FirmwareBadCharacter>("FIRMWARE_FILE", "BadCharacter"),
    Text<&LanguageTexts::FirmwareOddDigits>("FIRMWARE_FILE", "OddDigits"),
    Text<&LanguageTexts::FirmwareNoAddress>("FIRMWARE_FILE", "NoAddress"),
    Text<&LanguageTexts::FirmwareTooLong>("FIRMWARE_FILE", "TooLong"),
    Text<&LanguageTexts::FirmwareFewerBytes>("FIRMWARE_FILE", "FewerBytes"),
    Text<&LanguageTexts::FirmwareNoUpperAddress>("FIRMWARE_FILE", "NoUpperAddress"),
    Text<&LanguageTexts::FirmwareEmpty>("FIRMWARE_FILE", "Empty"),
    Text<&LanguageTexts::FirmwareNoHeader>("FIRMWARE_FILE", "NoHeader"),
    Text<&LanguageTexts::FirmwareChecksum>("FIRMWARE_FILE", "Checksum"),
    Text<&LanguageTexts::FirmwareNoProgramData>("FIRMWARE_FILE", "NoProgramData"),
    Text<&LanguageTexts::FirmwareFit>("FIRMWARE_FILE", "Fit"),
    Text<&LanguageTexts::FirmwareNotRegular>("FIRMWARE_FILE", "NotRegular"),
    Text<&LanguageTexts::FirmwareCannotOpen>("FIRMWARE_FILE", "CannotOpen"),
    Text<&LanguageTexts::FirmwareCannotRead>("FIRMWARE_FILE", "CannotRead"),
    {"ABOUT", "Title", "frmAbout", "frmAbout", nullptr},
    {"ABOUT", "Program", "frmAbout", "StaticText1", nullptr},
}};

void LoadLanguageFile(const std::string& path, int codePage, LanguageTexts& texts, CaptionTargets& captions) {
  // The file is read once: a missing one has no keys, so every text stays.
  const std::string contents = ReadIniFileText(path).value_or(std::string());
  for (std::size_t row = 1; row <= LanguageRows.size(); ++row) {
    const LanguageRow& r = LanguageRows[row - 1];
    if (const std::optional<std::string> value = ReadIniValue(contents, r.Section, r.Key)) {
      const std::string text = DecodeToUtf8(*value, codePage);
      if (r.Text) *r.Text(texts) = text;
      else captions.SetCaption(r.Window, r.Control, text);
    }
    if (row == ButtonCaptionsRow) captions.ButtonCaptionsLoaded();
    if (row == StatusTextsRow) captions.StatusTextsLoaded();
  }
}

std::optional<std::vector<std::string>> ReadMeLines(const std::string& path, int codePage) {
  if (!MayReadAsRegularFile(path)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<std::string> lines;
  std::string line;
  // A read error ends the text with the lines read so far.
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) lines.emplace_back();
    for (std::size_t at = 0; at < line.size();) {
      // Walk whole characters up to the piece's length.
      std::size_t end = at;
      while (end < line.size()) {
        const bool pair = IsLeadByte(static_cast<unsigned char>(line[end]), codePage) && end + 1 < line.size();
        const std::size_t size = pair ? 2 : 1;
        if (end + size - at > ReadMePieceLength) break;
        end += size;
      }
      lines.push_back(DecodeToUtf8(std::string_view(line).substr(at, end - at), codePage));
      at = end;
    }
  }
  return lines;
}
