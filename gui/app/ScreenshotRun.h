#pragma once
// A picture of every page for the screenshot script. Only scripts/screenshots
// sets KQ30_SCREENSHOTS (the folder for the pictures); the wizard's own
// controls never select the engineering page.
#include <QString>

struct WizardWindows;

// Once the event loop runs: writes one PNG per page and dialog into folder,
// prints how long the welcome page took to appear, and ends the program
// without the exit query.
void StartScreenshotRun(WizardWindows& windows, const QString& folder);
