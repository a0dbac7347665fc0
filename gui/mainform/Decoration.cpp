#include "mainform/Decoration.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace {

class DecorationAccessible : public QAccessibleWidget {
 public:
  explicit DecorationAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Graphic) {}
  // Not the title of a group box it sits in, as a picture without a name of
  // its own would be called.
  QString text(QAccessible::Text) const override { return {}; }
  // Hidden from assistive technology, as the platforms know it: not showing.
  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.invisible = true;
    return s;
  }
};

QAccessibleInterface* DecorationFactory(const QString& key, QObject* object) {
  // Asked once for each class from the object's own up to QObject: answer
  // for its own class only.
  if (!object || !object->isWidgetType() || key != QLatin1String(object->metaObject()->className()))
    return nullptr;
  if (!object->property("decorative").toBool()) return nullptr;
  return new DecorationAccessible(static_cast<QWidget*>(object));
}

}  // namespace

void HideDecorationFromScreenReaders() {
  static const bool installed = [] {
    QAccessible::installFactory(DecorationFactory);
    return true;
  }();
  (void)installed;
}
