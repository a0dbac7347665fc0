// The wizard's entry point: the application object, its title, the three
// windows in order, the saved language, then the message loop until the main
// window closes.
#include <cstdlib>
#include <exception>

#include "app/KQ30Application.h"
#include "app/QtMessageBoxes.h"
#include "app/ScreenshotRun.h"
#include "app/StartUp.h"

int main(int argc, char** argv) {
  KQ30Application app(argc, argv);
  QtMessageBoxes boxes;
  app.SetMessageBoxes(&boxes);
  try {
    WizardWindows windows = CreateWizardWindows(boxes);
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
