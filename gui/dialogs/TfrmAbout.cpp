#include "dialogs/TfrmAbout.h"

#include <QFile>
#include <QStringList>

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

void TfrmAbout::LoadReadMe(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return;
  // The lines are gathered first and put into the box in one go.
  QStringList lines;
  while (!file.atEnd()) {
    QByteArray raw = file.readLine();
    if (raw.isEmpty()) break;  // read error: keep the lines read so far
    while (raw.endsWith('\n') || raw.endsWith('\r')) raw.chop(1);
    const QString line = QString::fromUtf8(raw);
    if (line.isEmpty()) {
      lines.append(QString());
      continue;
    }
    for (qsizetype at = 0; at < line.size();) {
      qsizetype length = std::min<qsizetype>(ReadMePieceLength, line.size() - at);
      // Never split a character that takes two UTF-16 units.
      if (at + length < line.size() && line.at(at + length - 1).isHighSurrogate() && length > 1) --length;
      lines.append(line.mid(at, length));
      at += length;
    }
  }
  ui->Memo1->setPlainText(lines.join(QLatin1Char('\n')));
}
