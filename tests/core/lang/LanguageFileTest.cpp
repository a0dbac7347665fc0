#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "core/ProcessId.h"
#include "lang/LanguageFile.h"
#include "lang/LanguagePacks.h"
#include "lang/TextDecoding.h"
#include "settings/IniText.h"

namespace {

namespace fs = std::filesystem;

const std::string Shipped = KQ30_SOURCE_DIR "/resources/";
const char* const Replacement = "\xEF\xBF\xBD";

// Records what a load sets, in order, with the texts as they stand at the
// two points where the shown captions follow.
struct Recorder : CaptionTargets {
  LanguageTexts& texts;
  std::map<std::string, std::string> captions;
  std::vector<std::string> log;
  explicit Recorder(LanguageTexts& t) : texts(t) {}
  void SetCaption(std::string_view window, std::string_view control, const std::string& text) override {
    const std::string name = std::string(window) + "." + std::string(control);
    captions[name] = text;
    log.push_back(name + "=" + text);
  }
  void ButtonCaptionsLoaded() override {
    log.push_back("buttons " + texts.ButtonCaptions[0] + "|" + texts.ButtonCaptions[1] + " status " + texts.Connected);
  }
  void StatusTextsLoaded() override { log.push_back("status " + texts.Disconnect + " exit " + texts.Exit_Caption); }
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The files a test writes lie in this program's own folder, removed at exit.
std::string Write(const std::string& name, const std::string& bytes) {
  static const struct Folder {
    fs::path path = fs::temp_directory_path() / ("kq30-lang-test-" + std::to_string(ProcessId()));
    Folder() { fs::create_directories(path); }
    ~Folder() {
      std::error_code ec;
      fs::remove_all(path, ec);
    }
  } folder;
  const std::string path = (folder.path / name).string();
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

}  // namespace

TEST(LanguageFile, EveryRowSetsItsTargetInOrderAndTheShownTextsFollowAtRows11And26) {
  // Each section once, holding its keys in the order of the rows.
  std::vector<std::pair<std::string, std::string>> sections;
  for (const LanguageRow& row : LanguageRows) {
    auto at =
        std::find_if(sections.begin(), sections.end(), [&](const auto& s) { return s.first == row.Section; });
    if (at == sections.end()) at = sections.insert(sections.end(), {row.Section, ""});
    at->second += std::string(row.Key) + "=" + row.Section + ":" + row.Key + "\r\n";
  }
  std::string file;
  for (const auto& [name, keys] : sections) file += "[" + name + "]\r\n" + keys;
  LanguageTexts texts;
  Recorder r(texts);
  LoadLanguageFile(Write("all.ini", file), 1250, texts, r);
  const std::vector<std::string> expected = {
      "Form1.mnuFile=MENU:File", "Form1.mnuExit=MENU:File_Exit", "Form1.mnuOption=MENU:Option",
      "Form1.mnuLanguage=MENU:Option_Language", "Form1.mnuLangEnglish=MENU:Option_Language_English",
      "Form1.mnuLangTraChinese=MENU:Option_Language_TraChinese",
      "Form1.mnuLangSimpChinese=MENU:Option_Language_SimpChinese", "Form1.mnuHelp=MENU:Help",
      "Form1.mnuAbout=MENU:Help_About",
      "buttons SYS_BUTTON:Connect|SYS_BUTTON:Disconnect status Connected...",
      "Form1.TabSheetFirmwareUpgrade=TAB_BAUD:Firmware Upgrade", "Form1.spbBaudRate=TAB_BAUD:Baud Rate Config",
      "Form1.LabelAutoComPort=CONFIG_SERIAL_PORT:Serial_Port", "Form1.LabelAutoBaudRate=CONFIG_SERIAL_PORT:Baud_Rate",
      "Form1.lblSerialPort=CONFIG_SERIAL_PORT:Serial_Port", "Form1.lblBaudRate=CONFIG_SERIAL_PORT:Baud_Rate",
      "Form1.GroupBoxConnectionMode=CONFIG_SERIAL_PORT:Setting",
      "Form1.RadioButtonConnectionModeAuto=CONFIG_SERIAL_PORT:Auto",
      "Form1.RadioButtonConnectionModeManual=CONFIG_SERIAL_PORT:Manual",
      "status CONFIG_SERIAL_PORT:Disconnect exit Exit!",
      "frmAgreement.ButtonAgree=AGREEMENT:Agree", "frmAgreement.ButtonCancel=AGREEMENT:Cancel",
      "frmAbout.StaticTextProduct=ABOUT:Product", "frmAbout.btnOK=ABOUT:OK"};
  ASSERT_GE(r.log.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(r.log.begin(), r.log.begin() + expected.size()), expected);
  // The rows after the first 37 set each its own control, after those.
  std::size_t captionsAfter = 0;
  for (std::size_t row = 37; row < LanguageRows.size(); ++row) {
    const LanguageRow& l = LanguageRows[row];
    if (!l.Control) continue;
    ++captionsAfter;
    EXPECT_EQ(r.captions[std::string(l.Window) + "." + l.Control], std::string(l.Section) + ":" + l.Key);
  }
  EXPECT_EQ(r.log.size(), expected.size() + captionsAfter);
  const std::pair<const std::string*, const char*> textRows[] = {
      {&texts.DeviceBaudRateHasBeenChanged, "TAB_BAUD:DeviceBaudRateHasBeenChanged"},
      {&texts.PleaseChangePcBaudRateInAccordance, "TAB_BAUD:PleaseChangePcBaudRateInAccordance"},
      {&texts.BaudRateChanged, "TAB_BAUD:BaudRateChanged"},
      {&texts.Connecting, "CONFIG_SERIAL_PORT:Connecting"},
      {&texts.Connected, "CONFIG_SERIAL_PORT:Connected"},
      {&texts.Exit_Caption, "EXIT_QUERY:Exit_Caption"},
      {&texts.QueryExit, "EXIT_QUERY:QueryExit"},
      {&texts.Warning, "OTHER_MSG:Warning"},
      {&texts.Error, "OTHER_MSG:Error"},
      {&texts.PortOpenError, "OTHER_MSG:PortOpenError"},
      {&texts.NoSerialPortExist, "OTHER_MSG:NoSerialPortExist"},
      {&texts.ManualConnectTimeOut, "OTHER_MSG:ManualConnectTimeOut"},
      {&texts.PortLostDuringUpgrade, "OTHER_MSG:PortLostDuringUpgrade"},
      {&texts.StartHint, "WELCOME:Start_Hint"},
      {&texts.ForceConnect, "CONFIG_SERIAL_PORT:ForceConnect"},
      {&texts.DetectingFailed, "CONFIG_SERIAL_PORT:DetectingFailed"},
      {&texts.PleaseConnectFirst, "CONFIG_SERIAL_PORT:PleaseConnectFirst"},
      {&texts.PortNotPresent, "CONFIG_SERIAL_PORT:PortNotPresent"},
      {&texts.NotAvailable, "CONFIG_SERIAL_PORT:NotAvailable"},
      {&texts.FirmwareFileInFolder, "CHECK_VERSION:FileInFolder"},
      {&texts.UpgradeInProcess, "UPGRADE:InProcess"},
      {&texts.UpgradeFinished, "UPGRADE:Finished"},
      {&texts.FirmwareStatus, "UPGRADE:Status"},
      {&texts.Programming, "UPGRADE:Programming"},
      {&texts.ProgrammingDots, "UPGRADE:Programming_Dots"},
      {&texts.Verifying, "UPGRADE:Verifying"},
      {&texts.VerifyingDots, "UPGRADE:Verifying_Dots"},
      {&texts.Success, "UPGRADE:Success"},
      {&texts.SecondsLeft, "UPGRADE:Seconds_Left"},
      {&texts.MinutesLeft, "UPGRADE:Minutes_Left"},
      {&texts.ProgrammingFail, "UPGRADE:ProgrammingFail"},
      {&texts.VerifyFail, "UPGRADE:VerifyFail"},
      {&texts.EraseSuccess, "TAB_BAUD:EraseSuccess"},
      {&texts.EraseFail, "TAB_BAUD:EraseFail"},
      {&texts.RescueFound, "RESCUE:Found"},
      {&texts.RescueQuestion, "RESCUE:Question"},
      {&texts.RescuePortNotOpen, "RESCUE:PortNotOpen"},
      {&texts.Message, "OTHER_MSG:Message"},
      {&texts.FirmwareUnended, "FIRMWARE_FILE:Unended"},
      {&texts.FirmwareBadCharacter, "FIRMWARE_FILE:BadCharacter"},
      {&texts.FirmwareOddDigits, "FIRMWARE_FILE:OddDigits"},
      {&texts.FirmwareNoAddress, "FIRMWARE_FILE:NoAddress"},
      {&texts.FirmwareTooLong, "FIRMWARE_FILE:TooLong"},
      {&texts.FirmwareFewerBytes, "FIRMWARE_FILE:FewerBytes"},
      {&texts.FirmwareNoUpperAddress, "FIRMWARE_FILE:NoUpperAddress"},
      {&texts.FirmwareEmpty, "FIRMWARE_FILE:Empty"},
      {&texts.FirmwareNoHeader, "FIRMWARE_FILE:NoHeader"},
      {&texts.FirmwareChecksum, "FIRMWARE_FILE:Checksum"},
      {&texts.FirmwareNoProgramData, "FIRMWARE_FILE:NoProgramData"},
      {&texts.FirmwareFit, "FIRMWARE_FILE:Fit"},
      {&texts.FirmwareNotRegular, "FIRMWARE_FILE:NotRegular"},
      {&texts.FirmwareCannotOpen, "FIRMWARE_FILE:CannotOpen"},
      {&texts.FirmwareCannotRead, "FIRMWARE_FILE:CannotRead"}};
  for (const auto& [text, value] : textRows) EXPECT_EQ(*text, value);
}

TEST(LanguageFile, MissingFilesAndKeysKeepTheTextsInForce) {
  LanguageTexts texts;
  Recorder r(texts);
  LoadLanguageFile((fs::temp_directory_path() / "kq30-no-such-folder" / "Lang-TW.ini").string(), 950, texts, r);
  EXPECT_EQ(r.captions.size(), 0u);
  EXPECT_EQ(texts.Exit_Caption, LanguageTexts{}.Exit_Caption);

  LoadLanguageFile(Write("about.ini", "[ABOUT]\r\nProduct=P\r\nOK=O\r\n"), 1250, texts, r);
  EXPECT_EQ(r.captions, (std::map<std::string, std::string>{{"frmAbout.StaticTextProduct", "P"},
                                                             {"frmAbout.btnOK", "O"}}));
  EXPECT_EQ(texts.ButtonCaptions[0], "Connect");

  // Traditional Chinese, then a Simplified Chinese file without the exit
  // caption: the Traditional one stays.
  LoadLanguageFile(Shipped + "Lang/Lang-TW.ini", 950, texts, r);
  const std::string traditional = texts.Exit_Caption;
  EXPECT_NE(traditional, LanguageTexts{}.Exit_Caption);
  std::string simplified = ReadAll(Shipped + "Lang/Lang-CN.ini");
  const size_t at = simplified.find("Exit_Caption=");
  ASSERT_NE(at, std::string::npos);
  simplified.erase(at, simplified.find('\n', at) + 1 - at);
  LoadLanguageFile(Write("cn.ini", simplified), 936, texts, r);
  EXPECT_EQ(texts.Exit_Caption, traditional);
  EXPECT_NE(texts.QueryExit, LanguageTexts{}.QueryExit);
}

TEST(LanguageFile, ShippedFilesHaveEveryRowAndDecodeWhole) {
  for (int tag : {0, 1, 2}) {
    const LanguagePack& pack = *LanguagePackForTag(tag);
    SCOPED_TRACE(pack.Code);
    const std::string ini = LanguageFilePath(Shipped, pack);
    const std::string readMe = ReadMeFilePath(Shipped, pack);
    for (const std::string& file : {ini, readMe}) {
      const std::string decoded = DecodeToUtf8(ReadAll(file), pack.CodePage);
      EXPECT_EQ(decoded.find(Replacement), std::string::npos);
    }
    // Every row, the captions' and the texts' alike, has a text of its own.
    const std::string contents = ReadAll(ini);
    for (const LanguageRow& row : LanguageRows) {
      const std::optional<std::string> value = ReadIniValue(contents, row.Section, row.Key);
      EXPECT_TRUE(value && !value->empty()) << row.Section << "/" << row.Key;
    }
    const auto lines = ReadMeLines(readMe, pack.CodePage);
    ASSERT_TRUE(lines && lines->size() > 5);
  }
  // The English file says, to the byte, what the built-in texts say; each
  // Chinese file translates every text and keeps the places (%1, %2) where
  // numbers and names go in.
  LanguageTexts builtIn;
  LanguageTexts english;
  Recorder re(english);
  LoadLanguageFile(Shipped + "Lang/Lang-EN.ini", 1250, english, re);
  auto places = [](const std::string& text) {
    std::vector<std::string> found;
    for (std::size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1))
      if (at + 1 < text.size()) found.push_back(text.substr(at, 2));
    std::sort(found.begin(), found.end());  // a language may put them in another order
    return found;
  };
  for (const auto& [code, codePage] : {std::pair{"TW", 950}, std::pair{"CN", 936}}) {
    LanguageTexts chinese;
    Recorder rc(chinese);
    LoadLanguageFile(Shipped + "Lang/Lang-" + code + ".ini", codePage, chinese, rc);
    for (const LanguageRow& row : LanguageRows) {
      if (!row.Text) continue;
      SCOPED_TRACE(std::string(code) + " " + row.Section + "/" + row.Key);
      EXPECT_EQ(*row.Text(english), *row.Text(builtIn));
      EXPECT_NE(*row.Text(chinese), *row.Text(english));
      EXPECT_EQ(places(*row.Text(chinese)), places(*row.Text(english)));
    }
  }
}

TEST(LanguageTexts, FillInPutsTheValuesInTheirPlaces) {
  const struct {
    const char* text;
    std::initializer_list<std::string_view> values;
    const char* filled;
  } cases[] = {
      {"About %1 s left", {"15"}, "About 15 s left"},
      {"%1（位於 %2）", {"KQ-30.bin", "/home/a"}, "KQ-30.bin（位於 /home/a）"},
      {"%2 before %1", {"a", "b"}, "b before a"},
      {"%1 %3 100% %", {"%2", "x"}, "%2 %3 100% %"},  // no value for %3; a value is never filled in again
      {"", {"x"}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FillIn(c.text, c.values), c.filled) << c.text;
}

TEST(ReadMe, LongLinesComeInPiecesThatNeverCutACharacter) {
  // 'a' then 250 Big5 characters: the first piece ends one byte short of
  // 499 rather than split the 250th character.
  std::string line = "a";
  for (int i = 0; i < 250; ++i) line += "\xA4\xA4";
  const auto lines = ReadMeLines(Write("long.txt", line + "\r\n\r\nend"), 950);
  ASSERT_TRUE(lines);
  ASSERT_EQ(lines->size(), 4u);
  EXPECT_EQ((*lines)[0].size(), 1u + 249 * 3);
  EXPECT_EQ((*lines)[1], "\u4E2D");
  EXPECT_EQ((*lines)[2], "");
  EXPECT_EQ((*lines)[3], "end");
  EXPECT_FALSE(ReadMeLines((fs::temp_directory_path() / "kq30-no-read-me.txt").string(), 950));
}

TEST(LanguagePacks, TagsAndSavedIndices) {
  EXPECT_EQ(LanguagePackForTag(-1), nullptr);
  EXPECT_EQ(LanguagePackForTag(3), nullptr);
  EXPECT_EQ(LanguagePackForTag(2)->CodePage, 936);
  for (auto [saved, tag] : {std::pair{0, 0}, {1, 1}, {2, 2}, {7, 0}, {-1, 0}}) EXPECT_EQ(LanguageMenuTag(saved), tag);
  const char sep = fs::path::preferred_separator;
  EXPECT_EQ(LanguageFilePath("/opt/kq30/", *LanguagePackForTag(1)), std::string("/opt/kq30/Lang") + sep + "Lang-TW.ini");
}
