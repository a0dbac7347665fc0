#include "app/QtWindowDispatcher.h"

#include <QMetaObject>

#include "app/Guarded.h"

void QtWindowDispatcher::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(&context_, Guarded(std::move(fn)), Qt::QueuedConnection);
}
