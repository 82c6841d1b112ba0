// The front end's conversions between the core's UTF-8 strings and Qt's QString, and the naming
// and placing of controls by their form names.
#pragma once

#include <QString>
#include <QWidget>
#include <string>
#include <string_view>

namespace lumvex {

inline QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string U(const QString& text) { return text.toUtf8().toStdString(); }

// Gives `widget` its form name as objectName.
template <typename W>
W* Named(W* widget, std::string_view form_name) {
  widget->setObjectName(Q(form_name));
  return widget;
}

// Names `widget` and puts it at the form's fixed position and size.
template <typename W>
W* Place(W* widget, std::string_view form_name, int left, int top, int width, int height) {
  Named(widget, form_name);
  widget->setGeometry(left, top, width, height);
  return widget;
}

}  // namespace lumvex
