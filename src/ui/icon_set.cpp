#include "ui/icon_set.h"

#include <QFile>
#include <QString>

static void InitLumvexResources() { Q_INIT_RESOURCE(lumvex); }

namespace lumvex {

void InitIconResources() { InitLumvexResources(); }

QIcon LoadIcon(std::string_view name) {
  if (name.empty()) return {};
  const QString path = QStringLiteral(":/icons/") +
                       QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) +
                       QStringLiteral(".svg");
  if (!QFile::exists(path)) return {};
  return QIcon(path);
}

QIcon ProxyIndicatorIcon(ProxyIndicator indicator) {
  return LoadIcon(ProxyIndicatorIconName(indicator));
}

}  // namespace lumvex
