// The interface language: the language file's captions on the three windows,
// the language texts, the fonts and the About dialog's read-me.
#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>

#include "dialogs/TfrmAbout.h"
#include "dialogs/TfrmAgreement.h"
#include "lang/LanguageFile.h"
#include "lang/LanguagePacks.h"
#include "mainform/TForm1.h"
#include "ui_Form1.h"

namespace {

// The character sets become font families to fall back on for the
// characters the window's own fonts lack: the usual Windows fonts of the
// script first, then the CJK font of a Linux desktop.
QStringList FallbackFamilies(int charset) {
  switch (charset) {
    case 136: return {QStringLiteral("Microsoft JhengHei"), QStringLiteral("PMingLiU"), QStringLiteral("WenQuanYi Micro Hei")};
    case 134: return {QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Micro Hei")};
    default: return {};
  }
}

// The style sheets set the windows' fonts, and a font set with setFont loses
// to them: the fallbacks of the character set follow the widget's design-time
// family in a rule of their own after the widget's design-time sheet, which
// its children without a font of their own follow too.
void SetCharset(QWidget* widget, int charset) {
  const char* const designSheet = "designStyleSheet";
  const char* const designFamily = "designFontFamily";
  if (!widget->property(designSheet).isValid()) {
    widget->ensurePolished();
    QString sheet = widget->styleSheet();
    // Bare declarations are a rule for the widget and everything in it.
    if (!sheet.contains(QLatin1Char('{'))) sheet = QStringLiteral("* { %1 }").arg(sheet);
    widget->setProperty(designSheet, sheet);
    widget->setProperty(designFamily, widget->font().family());
  }
  const QStringList families =
      QStringList{widget->property(designFamily).toString()} + FallbackFamilies(charset);
  widget->setStyleSheet(
      widget->property(designSheet).toString() +
      QStringLiteral("\nQWidget { font-family: \"%1\"; }").arg(families.join(QStringLiteral("\", \""))));
}

// Qt's own texts for the language (the standard buttons are qtbase's), from
// Qt's translations folder, else from the folder "translations" beside the
// program, where a Windows installation keeps them. English needs none.
void LoadQtTexts(QTranslator& translator, int languageIndex) {
  QCoreApplication::removeTranslator(&translator);
  const QString locale = languageIndex == 1   ? QStringLiteral("zh_TW")
                         : languageIndex == 2 ? QStringLiteral("zh_CN")
                                              : QString();
  if (locale.isEmpty()) return;
  for (const QString& folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                QCoreApplication::applicationDirPath() + QStringLiteral("/translations")})
    if (translator.load(QStringLiteral("qtbase_") + locale, folder)) {
      QCoreApplication::installTranslator(&translator);
      return;
    }
}

void SetText(QObject* target, const QString& text) {
  if (auto* menu = qobject_cast<QMenu*>(target)) menu->setTitle(text);
  else if (auto* action = qobject_cast<QAction*>(target)) action->setText(text);
  else if (auto* button = qobject_cast<QAbstractButton*>(target)) button->setText(text);
  else if (auto* label = qobject_cast<QLabel*>(target)) {
    label->setTextFormat(Qt::PlainText);  // a file's text is never markup
    label->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(target)) group->setTitle(text);
  else if (auto* widget = qobject_cast<QWidget*>(target)) widget->setWindowTitle(text);
}

}  // namespace

class TForm1::Captions : public CaptionTargets {
 public:
  explicit Captions(TForm1& form) : form_(form) {}

  void SetCaption(std::string_view window, std::string_view control, const std::string& text) override {
    QWidget* owner = window == "Form1"      ? static_cast<QWidget*>(&form_)
                     : window == "frmAbout" ? static_cast<QWidget*>(form_.frmAbout_)
                                            : static_cast<QWidget*>(form_.frmAgreement_);
    if (!owner) return;
    const QString name = QString::fromUtf8(control.data(), static_cast<qsizetype>(control.size()));
    // A row naming the window itself sets its title.
    if (name == owner->objectName())
      owner->setWindowTitle(QString::fromStdString(text));
    else if (QObject* target = owner->findChild<QObject*>(name))
      SetText(target, QString::fromStdString(text));
  }
  void ButtonCaptionsLoaded() override { form_.Core->Conn.ShowButtonCaption(); }
  void StatusTextsLoaded() override { form_.Core->Conn.ShowStatusText(); }

 private:
  TForm1& form_;
};

void TForm1::ShowLanguageTexts(const LanguageTexts& before) {
  const LanguageTexts& texts = Core->Texts;
  ui->SpeedButtonStart->setToolTip(QString::fromStdString(texts.StartHint));
  // The progress page's texts of the language before follow the new one;
  // the time left does at its next estimate.
  ProgressPage& page = Core->Upgrade.Page;
  for (std::string LanguageTexts::*text :
       {&LanguageTexts::FirmwareStatus, &LanguageTexts::UpgradeInProcess, &LanguageTexts::UpgradeFinished,
        &LanguageTexts::Programming, &LanguageTexts::ProgrammingDots, &LanguageTexts::Verifying,
        &LanguageTexts::VerifyingDots, &LanguageTexts::Success}) {
    if (page.StatusText == before.*text) page.StatusText = texts.*text;
    if (page.Notice == before.*text) page.Notice = texts.*text;
  }
  ShowProgressPage();
  ShowFirmwareFile();
}

void TForm1::ApplySavedLanguage() {
  QAction* const entries[] = {ui->mnuLangEnglish, ui->mnuLangTraChinese, ui->mnuLangSimpChinese};
  QAction* entry = entries[LanguageMenuTag(LanguageIndex)];
  entry->setChecked(true);
  mnuLangTraChineseClick(entry);
}

void TForm1::mnuLangTraChineseClick(QObject* sender) {
  bool isNumber = false;
  const LanguagePack* pack = LanguagePackForTag(sender->property("tag").toInt(&isNumber));
  if (!isNumber || !pack) return;
  LanguageIndex = pack->Index;
  LoadQtTexts(qtTexts_, LanguageIndex);
  SetCharset(this, pack->FontCharset);
  SetCharset(ui->PageControlConf, pack->FontCharset);
  if (frmAbout_) SetCharset(frmAbout_->findChild<QWidget*>(QStringLiteral("Memo1")), pack->FontCharset);
  Captions captions(*this);
  const LanguageTexts before = Core->Texts;
  LoadLanguageFile(LanguageFilePath(ProgramDir, *pack), pack->CodePage, Core->Texts, captions);
  ShowLanguageTexts(before);
  ShowSerialPage();
  if (frmAbout_) frmAbout_->LoadReadMe(ReadMeFilePath(ProgramDir, *pack), pack->CodePage);
}
