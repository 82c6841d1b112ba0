#include "ui/ipv4_edit.h"

#include <QHBoxLayout>
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
    layout->addWidget(part, 1);
    parts_[static_cast<std::size_t>(i)] = part;
    connect(part, &QLineEdit::textEdited, this,
            [this, i](const QString& text) { OnPartEdited(i, text); });
  }
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Base);
}

void Ipv4Edit::OnPartEdited(int index, const QString& text) {
  keep_ = false;
  // Three digits or a typed dot move on to the next part, as in the Windows address box.
  if (text.size() == 3 && index < 3) parts_[static_cast<std::size_t>(index) + 1]->setFocus();
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
