#pragma once
// A language file: an INI file whose rows set the captions of the three
// windows' controls and the language texts, read in one fixed order. Every
// row's default is the text in force, so a key the file lacks keeps the text
// of the language loaded before, and a missing file changes nothing.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lang/LanguageTexts.h"

// One row: its section and key, and what it sets: a control's caption
// (Control, on the window named Window; the window's own title where
// Control names the window itself) or a language text (Text).
struct LanguageRow {
  const char* Section;
  const char* Key;
  const char* Window;   // "Form1", "frmAbout" or "frmAgreement"; nullptr for a text
  const char* Control;  // the control's objectName; nullptr for a text
  std::string* (*Text)(LanguageTexts&);  // nullptr for a control
};

// The 37 rows every language file has had, then the message for a port lost
// during an upgrade and the texts of the pages, the upgrade, the firmware
// file's verdict, the rescue and the About dialog.
constexpr std::size_t LanguageRowCount = 37 + 76;
extern const std::array<LanguageRow, LanguageRowCount> LanguageRows;

// The rows after which the connect button and the status label show the
// texts just read: the 11th and the 26th.
constexpr std::size_t ButtonCaptionsRow = 11;
constexpr std::size_t StatusTextsRow = 26;

// The windows' side of loading: captions set by window and control name, and
// the two points where shown texts follow the new language.
class CaptionTargets {
 public:
  virtual ~CaptionTargets() = default;
  virtual void SetCaption(std::string_view window, std::string_view control, const std::string& text) = 0;
  // The connect button's caption from ButtonCaptions, by its tag.
  virtual void ButtonCaptionsLoaded() = 0;
  // The status label's caption from the status texts, by the connect phase.
  virtual void StatusTextsLoaded() = 0;
};

// Reads every row of the file at path, decoding values from codePage, into
// texts and through captions. A file that is missing or can't be read sets
// nothing, and reports nothing.
void LoadLanguageFile(const std::string& path, int codePage, LanguageTexts& texts, CaptionTargets& captions);

// The longest piece of a read-me line, in bytes: longer lines come in pieces,
// each a line of its own, never cutting a two-byte character.
constexpr std::size_t ReadMePieceLength = 499;

// The lines of the read-me file at path, decoded from codePage (CR LF or LF
// ends a line), or nothing when the file can't be opened.
std::optional<std::vector<std::string>> ReadMeLines(const std::string& path, int codePage);
