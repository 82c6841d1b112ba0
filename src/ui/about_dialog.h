// The About window: program name and version, maker, web address, e-mail and motto.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;

namespace lumvex {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  // `web_address` replaces the default web-address line when it is not empty.
  AboutDialog(const QString& web_address, QWidget* parent);

 private:
  QLabel* web_line_ = nullptr;
  QPushButton* ok_button_ = nullptr;
};

}  // namespace lumvex
