#pragma once
// The three windows of the program, created in the start-up order: the main
// window, then the About dialog, then the agreement dialog; then the saved
// language goes onto all three.
#include <memory>
#include <string>

#include "dialogs/TfrmAbout.h"
#include "dialogs/TfrmAgreement.h"
#include "mainform/TForm1.h"

class MessageBoxes;

struct WizardWindows {
  std::unique_ptr<TForm1> Form1;
  std::unique_ptr<TfrmAbout> frmAbout;
  std::unique_ptr<TfrmAgreement> frmAgreement;

  WizardWindows() = default;
  WizardWindows(WizardWindows&&) = default;
  // The dialogs go after the main window, which points at them.
  ~WizardWindows() { Form1.reset(); }
};

WizardWindows CreateWizardWindows(MessageBoxes& boxes, const std::string& firmwarePath = FirmwareFileName);

// The wizard's one optional argument: a firmware file, or the folder that
// holds KQ-30.bin. The wizard then works in that folder, as if started there
// (a file manager starts it anywhere), and loads the file named: a
// downloaded file may be called otherwise. Returns the file to load; where
// the folder can't be entered, the argument as it stands, which then gets
// its verdict on the version page.
std::string EnterFirmwareFolder(const std::string& argument);
