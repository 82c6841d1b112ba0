// The program's own SVG icons, compiled in as Qt resources (":/icons/<name>.svg").
#pragma once

#include <QIcon>
#include <string_view>

#include "app/main_window_controls.h"

namespace lumvex {

// Registers the compiled-in resources; the library is static, so this keeps the linker from
// dropping them. Call once before the first icon is loaded.
void InitIconResources();

// The icon of that name; a null icon for an empty or unknown name.
QIcon LoadIcon(std::string_view name);
QIcon ProxyIndicatorIcon(ProxyIndicator indicator);

}  // namespace lumvex
