#pragma once
// The three windows of the program, created in the start-up order: the main
// window, then the About dialog, then the agreement dialog; then the saved
// language goes onto all three.
#include <memory>

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

WizardWindows CreateWizardWindows(MessageBoxes& boxes);
