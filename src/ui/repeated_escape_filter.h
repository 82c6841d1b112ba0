// Keeps a held Escape key from closing dialogs that open while it is down. The key's auto-repeat
// reaches whichever window has the focus, so a dialog opened while Escape is still down (or stuck
// down: a press whose release never came, as when the window it was meant for went away first)
// closed as it opened, and the command behind it seemed dead until the key came up.
#pragma once

#include <QObject>
#include <optional>

namespace lumvex {

class RepeatedEscapeFilter : public QObject {
  Q_OBJECT

 public:
  explicit RepeatedEscapeFilter(QObject* parent = nullptr) : QObject(parent) {}

  // Installed on the application: swallows auto-repeated Escape presses while a dialog has the
  // focus; a fresh press closes the dialog as ever.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // X11 repeats a held key as a release and a press with the same timestamp and Qt does not
  // always flag the press as a repeat; the last release's timestamp tells them apart.
  std::optional<quint64> last_escape_release_;
};

}  // namespace lumvex
