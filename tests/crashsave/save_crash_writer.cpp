// Saves the list file and the "IE Agent" settings file through the program's own save functions,
// version after version, and reports on stdout "S n" before and "D n" after each pair of saves.
// The crash-save test kills it at random points.
// Usage: save_crash_writer DATA_DIR FIRST_VERSION COUNT  (saves FIRST_VERSION+1 ... +COUNT)
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/headless_ui_thread.h"
#include "proxylist/agent_file.h"
#include "proxylist/proxy_list.h"
#include "save_versions.h"
#include "settings/data_dir.h"
#include "settings/settings.h"

namespace {

// Unbuffered, so a line the test reads was written before the kill.
void Report(char tag, int version) {
  std::string line = std::string(1, tag) + " " + std::to_string(version) + "\n";
  if (write(STDOUT_FILENO, line.data(), line.size()) < 0) std::_Exit(3);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string dir = argv[1];
  const int first = std::atoi(argv[2]);
  const int count = std::atoi(argv[3]);
  lumvex::HeadlessUiThread ui;
  lumvex::ProxyList list(ui);
  lumvex::Settings settings{lumvex::DataDir(dir)};
  for (int version = first + 1; version <= first + count; ++version) {
    list.ReplaceAll(lumvex::crashsave::ListVersion(version));
    Report('S', version);
    if (!lumvex::SaveAgentFile(list, settings.data_dir())) return 1;
    if (!settings.WriteSavedProxy(lumvex::crashsave::SavedProxyVersion(version))) return 1;
    Report('D', version);
  }
  return 0;
}
