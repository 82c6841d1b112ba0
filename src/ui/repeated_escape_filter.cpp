#include "ui/repeated_escape_filter.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QWidget>

namespace lumvex {

bool RepeatedEscapeFilter::eventFilter(QObject* watched, QEvent* event) {
  // Key events reach the native window first; looking there sees each one once.
  if (!watched->isWindowType() ||
      (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)) {
    return QObject::eventFilter(watched, event);
  }
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_Escape) return QObject::eventFilter(watched, event);
  if (event->type() == QEvent::KeyRelease) {
    last_escape_release_ = key->timestamp();
    return QObject::eventFilter(watched, event);
  }
  const bool repeated = key->isAutoRepeat() || (last_escape_release_.has_value() &&
                                                *last_escape_release_ == key->timestamp());
  const QWidget* focus = QApplication::focusWidget();
  if (repeated && focus != nullptr && qobject_cast<const QDialog*>(focus->window()) != nullptr) {
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace lumvex
