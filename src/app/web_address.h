// Which addresses from the update manifest (the link labels, the tray's web-site item) the
// program hands to the browser. The manifest is a page anyone on the way can change, so only
// web addresses are opened, never a local file, a script or a desktop handler.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lumvex {

// The address to open: an http or https address as it stands (blanks around it removed), or a
// bare host ("www.example.com", "host:8080/path") with "http://" put before it. nullopt for any
// other scheme (file:, javascript:, smb:, mailto:, ...), for a path, and for text holding control
// characters or no host.
std::optional<std::string> BrowsableWebAddress(std::string_view address);

}  // namespace lumvex
