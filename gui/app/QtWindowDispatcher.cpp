#include "app/QtWindowDispatcher.h"

#include <QMetaObject>

void QtWindowDispatcher::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(&context_, std::move(fn), Qt::QueuedConnection);
}
