// An IPv4 address box: four numeric parts (0-255) between dots, read as dotted text and empty
// when every part is blank.
#pragma once

#include <QString>
#include <QWidget>
#include <array>

class QLineEdit;

namespace lumvex {

class Ipv4Edit : public QWidget {
  Q_OBJECT

 public:
  explicit Ipv4Edit(QWidget* parent = nullptr);

  // The dotted text; a blank part among filled ones reads as 0; "" when all are blank. An
  // address put in with setText that the four parts cannot show (a host name) is given back
  // unchanged until the user edits a part, so opening and confirming never loses it.
  QString text() const;
  void setText(const QString& text);
  QLineEdit* part(int index) const { return parts_[static_cast<std::size_t>(index)]; }

 protected:
  // A typed "." or space moves on to the next part; Backspace in an empty part goes back.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FocusPart(int index);
  void OnPartEdited(int index, const QString& text);

  std::array<QLineEdit*, 4> parts_{};
  QString kept_;
  bool keep_ = false;
};

}  // namespace lumvex
