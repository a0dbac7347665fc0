// The About and agreement dialogs: the read-me loading, the logo opening one
// About dialog, and the agreement dialog that nothing shows.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>

#include "GuiTestMain.h"
#include "ScriptedMessageBoxes.h"
#include "app/StartUp.h"

namespace {

QStringList Lines(QPlainTextEdit* memo) {
  QStringList lines;
  for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next()) lines << b.text();
  return lines;
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

  QTemporaryDir dir;

  // The file's name as the core takes it, in the system's 8-bit encoding.
  std::string Write(const char* name, const QByteArray& bytes) {
    QFile file(dir.filePath(QLatin1String(name)));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) qFatal("cannot write %s", name);
    return QFile::encodeName(file.fileName()).toStdString();
  }

 private slots:
  void read_me_lines_come_in_pieces_of_499_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<int>>("lengths");
    const QByteArray a1000(1000, 'a');
    QTest::newRow("1,000 characters") << a1000 + "\r\n" << QList<int>{499, 499, 2};
    QTest::newRow("1,000 characters, no line end") << a1000 << QList<int>{499, 499, 2};
    QTest::newRow("exactly 499") << QByteArray(499, 'b') + "\r\nx\r\n" << QList<int>{499, 1};
    QTest::newRow("998 = two whole pieces") << QByteArray(998, 'c') + "\n" << QList<int>{499, 499};
    QTest::newRow("blank lines kept") << QByteArray("one\r\n\r\nthree\r\n") << QList<int>{3, 0, 5};
  }

  void read_me_lines_come_in_pieces_of_499() {
    QFETCH(QByteArray, file);
    QFETCH(QList<int>, lengths);
    TfrmAbout about;
    about.LoadReadMe(Write("readme.txt", file));
    const QStringList lines = Lines(about.findChild<QPlainTextEdit*>("Memo1"));
    QList<int> got;
    for (const QString& l : lines) got << l.size();
    QCOMPARE(got, lengths);
    // Nothing of a line is lost or doubled, and no line end is kept.
    QVERIFY(!lines.join(QString()).contains(QLatin1Char('\r')));
    QCOMPARE(lines.join(QString()).toLatin1(), QByteArray(file).replace("\r", "").replace("\n", ""));
  }

  void read_me_replaces_the_text_and_a_missing_file_keeps_it() {
    TfrmAbout about;
    auto* memo = about.findChild<QPlainTextEdit*>("Memo1");
    // At the start, the notice of the maker's rights: nine lines.
    QCOMPARE(Lines(memo).size(), 9);
    about.LoadReadMe(Write("en.txt", "English read-me\r\nsecond line\r\n"));
    QCOMPARE(Lines(memo), QStringList({"English read-me", "second line"}));
    about.LoadReadMe(QFile::encodeName(dir.filePath("missing.txt")).toStdString());
    QCOMPARE(Lines(memo), QStringList({"English read-me", "second line"}));
    about.LoadReadMe(Write("empty.txt", ""));
    QCOMPARE(memo->toPlainText(), QString());
  }

  void about_layout() {
    TfrmAbout about;
    QCOMPARE(about.size(), QSize(406, 342));
    QCOMPARE(about.findChild<QLabel*>("StaticTextProduct")->text(), QStringLiteral("ORVO KQ-30"));
    QCOMPARE(about.findChild<QLabel*>("StaticText1")->text(), QStringLiteral("Firmware Upgrade "));
    QCOMPARE(about.findChild<QLabel*>("Label6")->text(), QStringLiteral("V1.2-T1 2015.03.23"));
    QCOMPARE(about.findChild<QPushButton*>("btnOK")->text(), QStringLiteral("OK"));
    QVERIFY(!about.findChild<QLabel*>("Image2")->pixmap().isNull());
    auto* memo = about.findChild<QPlainTextEdit*>("Memo1");
    QVERIFY(memo->isReadOnly());
    memo->ensurePolished();
    QCOMPARE(memo->font().family(), QStringLiteral("Arial"));
    QCOMPARE(memo->font().pixelSize(), 12);
    auto* product = about.findChild<QLabel*>("StaticTextProduct");
    product->ensurePolished();
    QCOMPARE(product->font().family(), QStringLiteral("Times New Roman"));
    QVERIFY(product->font().bold() && product->font().italic());
  }

  void two_logo_clicks_show_one_about_dialog() {
    ScriptedMessageBoxes boxes;
    WizardWindows windows = CreateWizardWindows(boxes);
    windows.Form1->show();
    QVERIFY(QTest::qWaitForWindowExposed(windows.Form1.get()));
    QVERIFY(!windows.frmAbout->isVisible());
    auto* logo = windows.Form1->findChild<QWidget*>("ImageLogo");
    QTest::mouseClick(logo, Qt::LeftButton);
    QTest::mouseClick(logo, Qt::LeftButton);
    int shown = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
      if (qobject_cast<TfrmAbout*>(w) && w->isVisible()) ++shown;
    QCOMPARE(shown, 1);
    QVERIFY(!windows.frmAbout->isModal());
    // The wizard stays usable while it is open.
    QTest::mouseClick(windows.Form1->findChild<QWidget*>("SpeedButtonStart"), Qt::LeftButton);
    QCOMPARE(windows.Form1->findChild<QStackedWidget*>("PageControlConf")->currentWidget()->objectName(),
             QStringLiteral("TabSheetCOMDetect"));
    // OK hides it; Help > About shows the same dialog again, where it was.
    windows.frmAbout->move(40, 50);
    QTest::mouseClick(windows.frmAbout->findChild<QWidget*>("btnOK"), Qt::LeftButton);
    QVERIFY(!windows.frmAbout->isVisible());
    windows.Form1->findChild<QAction*>("mnuAbout")->trigger();
    QVERIFY(windows.frmAbout->isVisible());
    QCOMPARE(windows.frmAbout->pos(), QPoint(40, 50));
    QVERIFY(boxes.Shown.empty());
  }

  void agreement_is_created_hidden_and_its_buttons_only_hide_it() {
    ScriptedMessageBoxes boxes;
    WizardWindows windows = CreateWizardWindows(boxes);
    TfrmAgreement* agreement = windows.frmAgreement.get();
    QVERIFY(!agreement->isVisible());
    QCOMPARE(agreement->size(), QSize(376, 323));
    QVERIFY(agreement->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(agreement->findChild<QLabel*>("StaticTextAgreement")->text(),
             QStringLiteral("ORVO USER SOFTWARE AGREEMENT"));
    const QString text = agreement->findChild<QPlainTextEdit*>("MemoAgreement")->toPlainText();
    QCOMPARE(text, text.toUpper());
    for (const char* term : {"WARRANTY", "LIABILITY", "MMSI", "IEC 62287-1", "6.7.2", "AGREE"})
      QVERIFY2(text.contains(QLatin1String(term)), term);
    for (const char* button : {"ButtonAgree", "ButtonCancel"}) {
      agreement->show();
      QTest::mouseClick(agreement->findChild<QWidget*>(button), Qt::LeftButton);
      QVERIFY2(!agreement->isVisible(), button);
    }
    QCOMPARE(agreement->findChild<QPushButton*>("ButtonAgree")->text(), QStringLiteral("Agree"));
    QCOMPARE(agreement->findChild<QPushButton*>("ButtonCancel")->text(), QStringLiteral("Cancel"));
  }
};

KQ30_GUI_TEST_MAIN(DialogsTest)
#include "Dialogs_test.moc"
