// The wizard's entry point: the application object, its title, the three
// windows in order, the saved language, then the message loop until the main
// window closes.
//   kq30-firmware-upgrade [FIRMWARE-FILE | FOLDER]
#include <cstdlib>
#include <exception>
#include <string>

#include "app/KQ30Application.h"
#include "app/QtMessageBoxes.h"
#include "app/ScreenshotRun.h"
#include "app/StartUp.h"

int main(int argc, char** argv) {
  KQ30Application app(argc, argv);
  QtMessageBoxes boxes;
  app.SetMessageBoxes(&boxes);
  try {
    // Qt has taken its own options out of argv; the name stays in the
    // system's 8-bit encoding, as a file name must.
    if (argc > 2) {
      app.ShowException("Usage: kq30-firmware-upgrade [FIRMWARE-FILE | FOLDER]");
      return 2;
    }
    const std::string firmware = argc == 2 ? EnterFirmwareFolder(argv[1]) : std::string(FirmwareFileName);
    WizardWindows windows = CreateWizardWindows(boxes, firmware);
    windows.Form1->show();
    if (const char* folder = std::getenv("KQ30_SCREENSHOTS"); folder && *folder)
      StartScreenshotRun(windows, QString::fromLocal8Bit(folder));
    KQ30Application::exec();
  } catch (const std::exception& e) {
    app.ShowException(e.what());
  } catch (...) {
    app.ShowException("");
  }
  return 0;
}
