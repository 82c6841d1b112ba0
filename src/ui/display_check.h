// Whether the GUI can start at all, decided before QApplication (which aborts without a display).
#pragma once

#include <functional>
#include <string>

namespace lumvex {

// `getenv` reads an environment variable (nullptr when unset). Returns an empty text when a
// display is available (or a Qt platform is chosen explicitly), else the message to print.
std::string MissingDisplayMessage(const std::function<const char*(const char*)>& getenv);

}  // namespace lumvex
