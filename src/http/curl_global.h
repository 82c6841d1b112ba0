// libcurl's process-wide initialisation, done once before the first handle is made.
#pragma once

namespace lumvex::http {

// Safe to call from any thread, any number of times; only the first call initialises.
void EnsureCurlGlobalInit();

}  // namespace lumvex::http
