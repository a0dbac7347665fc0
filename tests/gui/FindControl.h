#pragma once
// Controls of the windows by their objectName, and the caption a control
// shows, for the window tests.
#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLatin1String>
#include <QtGlobal>

// The child named name; a missing one ends the test program with its name.
template <typename T = QWidget>
T* Find(QObject* root, const char* name) {
  T* found = root->findChild<T*>(QLatin1String(name));
  if (!found) qFatal("no control %s", name);
  return found;
}

// A button's or a label's text, a group box's title; "" for other controls.
inline QString Caption(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return {};
}
