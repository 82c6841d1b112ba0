#include "ui/ipv4_edit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStringList>

namespace lumvex {

Ipv4Edit::Ipv4Edit(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (int i = 0; i < 4; ++i) {
    if (i > 0) {
      auto* dot = new QLabel(QStringLiteral("."), this);
      dot->setAlignment(Qt::AlignCenter);
      dot->setFixedWidth(4);
      layout->addWidget(dot);
    }
    auto* part = new QLineEdit(this);
    part->setObjectName(QStringLiteral("part%1").arg(i + 1));
    // A number from 0 to 255: a keystroke that would leave the range is refused.
    part->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])?")),
        part));
    part->setMaxLength(3);
    part->setAlignment(Qt::AlignCenter);
    part->setFrame(false);
    part->setTextMargins(0, 0, 0, 0);
    part->setStyleSheet(QStringLiteral("QLineEdit { padding: 0px; }"));
    layout->addWidget(part, 1);
    parts_[static_cast<std::size_t>(i)] = part;
    part->installEventFilter(this);
    connect(part, &QLineEdit::textEdited, this,
            [this, i](const QString& text) { OnPartEdited(i, text); });
  }
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
}

void Ipv4Edit::FocusPart(int index) {
  if (index < 0 || index > 3) return;
  QLineEdit* part = parts_[static_cast<std::size_t>(index)];
  part->setFocus();
  part->selectAll();
}

void Ipv4Edit::OnPartEdited(int index, const QString& text) {
  keep_ = false;
  // Three digits move on to the next part, as in the Windows address box.
  if (text.size() == 3) FocusPart(index + 1);
}

bool Ipv4Edit::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  int index = -1;
  for (int i = 0; i < 4; ++i) {
    if (parts_[static_cast<std::size_t>(i)] == watched) index = i;
  }
  if (index < 0) return QWidget::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  const QLineEdit* part = parts_[static_cast<std::size_t>(index)];
  if ((key->key() == Qt::Key_Period || key->key() == Qt::Key_Space) && !part->text().isEmpty()) {
    FocusPart(index + 1);
    return true;
  }
  if (key->key() == Qt::Key_Backspace && part->text().isEmpty() && index > 0) {
    FocusPart(index - 1);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

QString Ipv4Edit::text() const {
  if (keep_) return kept_;
  bool any = false;
  for (const QLineEdit* part : parts_) any = any || !part->text().isEmpty();
  if (!any) return QString();
  QStringList pieces;
  for (const QLineEdit* part : parts_) {
    pieces << (part->text().isEmpty() ? QStringLiteral("0")
                                      : QString::number(part->text().toInt()));
  }
  return pieces.join(QLatin1Char('.'));
}

void Ipv4Edit::setText(const QString& text) {
  const QStringList pieces = text.split(QLatin1Char('.'));
  bool fits = pieces.size() == 4;
  for (const QString& piece : pieces) {
    bool ok = false;
    const int value = piece.toInt(&ok);
    fits = fits && ok && value >= 0 && value <= 255 && piece.size() <= 3;
  }
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    parts_[i]->setText(fits ? pieces[static_cast<qsizetype>(i)] : QString());
  }
  keep_ = !fits && !text.isEmpty();
  kept_ = keep_ ? text : QString();
}

}  // namespace lumvex
