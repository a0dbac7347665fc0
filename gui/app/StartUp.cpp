#include "app/StartUp.h"

WizardWindows CreateWizardWindows(MessageBoxes& boxes) {
  WizardWindows windows;
  windows.Form1 = std::make_unique<TForm1>(boxes);
  windows.frmAbout = std::make_unique<TfrmAbout>();
  windows.frmAgreement = std::make_unique<TfrmAgreement>();
  windows.Form1->SetDialogs(windows.frmAbout.get(), windows.frmAgreement.get());
  windows.Form1->ApplySavedLanguage();
  return windows;
}
