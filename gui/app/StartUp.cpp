#include "app/StartUp.h"

#include <filesystem>
#include <system_error>

WizardWindows CreateWizardWindows(MessageBoxes& boxes, const std::string& firmwarePath) {
  WizardWindows windows;
  windows.Form1 = std::make_unique<TForm1>(boxes, firmwarePath);
  windows.frmAbout = std::make_unique<TfrmAbout>();
  windows.frmAgreement = std::make_unique<TfrmAgreement>();
  windows.Form1->SetDialogs(windows.frmAbout.get(), windows.frmAgreement.get());
  windows.Form1->ApplySavedLanguage();
  return windows;
}

std::string EnterFirmwareFolder(const std::string& argument) {
  namespace fs = std::filesystem;
  const fs::path given(argument);
  std::error_code ec;
  const bool folder = fs::is_directory(given, ec);
  const fs::path dir = folder ? given : given.parent_path();
  if (!dir.empty()) {
    fs::current_path(dir, ec);
    if (ec) return argument;
  }
  return folder ? std::string(FirmwareFileName) : given.filename().string();
}
