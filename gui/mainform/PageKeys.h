#pragma once
// The wizard by keyboard: Enter presses the shown page's main button, Esc its
// Cancel, and a page that shows puts the focus on its first control (or, when
// none can take it yet, on the first that becomes usable).
#include <QObject>
#include <functional>
#include <map>

class QAbstractButton;
class QStackedWidget;
class QWidget;

class PageKeys : public QObject {
 public:
  // window: where the keys the controls leave unused arrive; pages: the
  // wizard's pages.
  PageKeys(QWidget* window, QStackedWidget* pages);

  // The button Enter presses on page, when it is enabled; it may depend on
  // the page's state (nothing: Enter does nothing there).
  void SetDefault(QWidget* page, std::function<QAbstractButton*()> button);
  void SetCancel(QWidget* page, QAbstractButton* button);

  // The first control of the page in the tab order that can take the focus
  // now, or the page itself when there is none.
  static void FocusFirstControl(QWidget* page);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PageShown();
  static bool Press(QAbstractButton* button);

  QWidget* window_;
  QStackedWidget* pages_;
  std::map<QWidget*, std::function<QAbstractButton*()>> defaults_;
  std::map<QWidget*, QAbstractButton*> cancels_;
};
