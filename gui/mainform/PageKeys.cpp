#include "mainform/PageKeys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QRadioButton>
#include <QStackedWidget>

PageKeys::PageKeys(QWidget* window, QStackedWidget* pages) : QObject(window), window_(window), pages_(pages) {
  window_->installEventFilter(this);
  connect(pages_, &QStackedWidget::currentChanged, this, [this] { PageShown(); });
  // A control that becomes usable while nothing on its page has the focus
  // takes it: Finish at the end of an upgrade, on a page that showed while
  // it was disabled.
  for (int i = 0; i < pages_->count(); ++i)
    for (QWidget* control : pages_->widget(i)->findChildren<QWidget*>())
      if (control->focusPolicy() & Qt::TabFocus) control->installEventFilter(this);
  PageShown();
}

void PageKeys::SetDefault(QWidget* page, std::function<QAbstractButton*()> button) {
  defaults_[page] = std::move(button);
}

void PageKeys::SetCancel(QWidget* page, QAbstractButton* button) { cancels_[page] = button; }

namespace {

// Of a row of radio buttons Tab reaches the one chosen, so does the page.
bool UncheckedChoice(QWidget* w) {
  auto* radio = qobject_cast<QRadioButton*>(w);
  return radio && radio->autoExclusive() && !radio->isChecked();
}

}  // namespace

void PageKeys::FocusFirstControl(QWidget* page) {
  // The window's whole tab order: the tab order puts a page's controls
  // together, but not necessarily right after the page itself.
  QWidget* window = page->window();
  for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain())
    if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(page) &&
        w->isEnabled() && !UncheckedChoice(w)) {
      w->setFocus(Qt::TabFocusReason);
      return;
    }
  // Nothing to take it: the page holds it, so that no control of the page
  // left behind keeps it.
  page->setFocus(Qt::OtherFocusReason);
}

void PageKeys::PageShown() { FocusFirstControl(pages_->currentWidget()); }

bool PageKeys::Press(QAbstractButton* button) {
  if (!button || !button->isEnabled() || !button->isVisible()) return false;
  button->click();
  return true;
}

bool PageKeys::eventFilter(QObject* watched, QEvent* event) {
  // Only these two kinds are looked at: the others come also while the
  // window is taken apart, when the pages may be gone.
  const bool enabledChange = event->type() == QEvent::EnabledChange && watched != window_;
  if (!enabledChange && (event->type() != QEvent::KeyPress || watched != window_)) return false;
  QWidget* page = pages_->currentWidget();
  if (enabledChange) {
    auto* control = static_cast<QWidget*>(watched);
    // The window's own focus, also while another window or program is active.
    QWidget* focus = window_->focusWidget();
    if (control->isEnabled() && page->isAncestorOf(control) &&
        (!focus || focus == page || !page->isAncestorOf(focus)))
      FocusFirstControl(page);
    return false;
  }
  // The keys that reach the window: those the focused control had no use for.
  auto* key = static_cast<QKeyEvent*>(event);
  const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
  if (modifiers != Qt::NoModifier) return false;
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
    auto found = defaults_.find(page);
    return found != defaults_.end() && Press(found->second());
  }
  if (key->key() == Qt::Key_Escape) {
    auto found = cancels_.find(page);
    return found != cancels_.end() && Press(found->second);
  }
  return false;
}
