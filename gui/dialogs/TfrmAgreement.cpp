#include "dialogs/TfrmAgreement.h"

#include <QFile>

#include "ui_Agreement.h"

TfrmAgreement::TfrmAgreement(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::TfrmAgreement>()) {
  ui->setupUi(this);
  setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(size());
  setAttribute(Qt::WA_QuitOnClose, false);
  QFile text(QStringLiteral(":/agreement.txt"));
  if (text.open(QIODevice::ReadOnly)) ui->MemoAgreement->setPlainText(QString::fromUtf8(text.readAll()).trimmed());
  connect(ui->ButtonAgree, &QPushButton::clicked, this, &TfrmAgreement::ButtonAgreeClick);
  connect(ui->ButtonCancel, &QPushButton::clicked, this, &TfrmAgreement::ButtonCancelClick);
}

TfrmAgreement::~TfrmAgreement() = default;

// No answer is recorded anywhere: both buttons only close the dialog.
void TfrmAgreement::ButtonAgreeClick() { hide(); }

void TfrmAgreement::ButtonCancelClick() { hide(); }
