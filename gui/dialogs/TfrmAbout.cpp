#include "dialogs/TfrmAbout.h"

#include <QStringList>

#include "lang/LanguageFile.h"
#include "ui_About.h"

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TfrmAbout>()) {
  ui->setupUi(this);
  setFixedSize(size());
  // A secondary window: closing the main window ends the program even
  // while this one is open.
  setAttribute(Qt::WA_QuitOnClose, false);
  connect(ui->btnOK, &QPushButton::clicked, this, &TfrmAbout::btnOKClick);
}

TfrmAbout::~TfrmAbout() = default;

void TfrmAbout::btnOKClick() { hide(); }

void TfrmAbout::LoadReadMe(const std::string& path, int codePage) {
  const auto lines = ReadMeLines(path, codePage);
  if (!lines) return;
  QStringList text;
  for (const std::string& line : *lines) text.append(QString::fromStdString(line));
  ui->Memo1->setPlainText(text.join(QLatin1Char('\n')));
}
