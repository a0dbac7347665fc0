#pragma once
// The About dialog: the product, the program's version and date, and the
// read-me text of the current language. Shown without blocking the wizard;
// closing it hides it and keeps its content.
#include <QDialog>
#include <QString>
#include <memory>
#include <string>

namespace Ui {
class TfrmAbout;
}

class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
  ~TfrmAbout() override;

  // Replaces the read-me text by the lines of the file at path (a name in
  // the system's own 8-bit encoding, which need not be UTF-8), written in
  // codePage (English by default). A file that cannot be opened leaves the
  // text as it is; a read error ends the loading with the lines read so far.
  void LoadReadMe(const std::string& path, int codePage = 1250);

 public slots:
  void btnOKClick();

 private:
  std::unique_ptr<Ui::TfrmAbout> ui;
};
