#pragma once
// The application object: the fonts the windows ask for, the compiled-in
// pictures, and the top-level exception box. An exception that escapes a
// button handler, a timer tick or a queued call is shown in a message box
// and the program goes on. The wizard's handlers are guarded where they are
// connected (Guarded.h); notify() catches whatever else gets through.
#include <QApplication>

class MessageBoxes;

class KQ30Application : public QApplication {
  Q_OBJECT
 public:
  // The task-bar text; the main window's own caption is "KQ-30 Firmware Upgrade".
  static constexpr const char* Title = "KQ-30 Firmware Update";

  KQ30Application(int& argc, char** argv);

  // Where the exception box goes; the program's QtMessageBoxes, or a
  // test's scripted answerer.
  void SetMessageBoxes(MessageBoxes* boxes) { boxes_ = boxes; }

  // The application's standard exception box: the message as text, the
  // application title as caption, an OK button and the error icon.
  void ShowException(const std::string& message);

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  MessageBoxes* boxes_ = nullptr;
};

// The windows name the fonts of the original design ("Arial", "MS Sans
// Serif", "Times New Roman", ...); these map them onto the fonts a Debian
// machine has, with a CJK font behind each for the Chinese languages.
void InstallFontSubstitutes();

// The pictures and texts compiled into the windows' library.
void InitWizardResources();
