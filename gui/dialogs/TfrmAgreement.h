#pragma once
// The user software agreement with its Agree and Cancel buttons. The
// program creates it with the other windows; either button only hides it.
#include <QDialog>
#include <memory>

namespace Ui {
class TfrmAgreement;
}

class TfrmAgreement : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAgreement(QWidget* parent = nullptr);
  ~TfrmAgreement() override;

 public slots:
  void ButtonAgreeClick();
  void ButtonCancelClick();

 private:
  std::unique_ptr<Ui::TfrmAgreement> ui;
};
