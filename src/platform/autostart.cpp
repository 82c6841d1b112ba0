#include "platform/autostart.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "platform/file_io.h"

namespace lumvex {
namespace {

// One argument of an Exec line: quoted, with the characters the desktop entry format reserves
// inside quotes escaped, then "%" doubled for the field-code rule; finally the escapes of a string
// value: backslashes doubled, and line breaks and tabs written as escapes, so a directory name
// holding one cannot end the line and add keys of its own.
std::string QuoteExecArgument(const std::string& argument) {
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  quoted += '"';
  std::string escaped;
  for (char c : quoted) {
    switch (c) {
      case '\\':
        escaped += "\\\\";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\t':
        escaped += "\\t";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

}  // namespace

Autostart::Autostart(std::string autostart_dir, std::string executable,
                     std::vector<std::string> arguments)
    : dir_(std::move(autostart_dir)),
      executable_(std::move(executable)),
      arguments_(std::move(arguments)) {}

std::string Autostart::DirectoryFromEnvironment(
    const std::function<const char*(const char*)>& getenv) {
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/autostart";
  const char* home = getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/autostart";
  return {};
}

std::string Autostart::EntryText(const std::string& executable,
                                 const std::vector<std::string>& arguments) {
  std::string exec = QuoteExecArgument(executable);
  for (const std::string& argument : arguments) exec += " " + QuoteExecArgument(argument);
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=LumvexIP代理验证\n"
         "Comment=Harvest, check and switch HTTP proxies\n"
         "Exec=" +
         exec +
         "\n"
         "Icon=lumvexip\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
}

std::string Autostart::EntryPath() const { return dir_ + "/" + kAutostartEntryName; }

bool Autostart::Enable() const {
  if (dir_.empty() || executable_.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(dir_, error);
  return WriteWholeFile(EntryPath(), EntryText(executable_, arguments_));
}

bool Autostart::Disable() const {
  if (dir_.empty()) return true;
  RemoveFile(EntryPath());
  return !FileExists(EntryPath());
}

std::string CurrentExecutablePath(const std::string& run_directory) {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error && exe.is_absolute()) return exe.string();
  return run_directory + "/lumvexip";
}

bool Autostart::IsEnabled() const { return !dir_.empty() && FileExists(EntryPath()); }

std::vector<std::string> AutostartArguments(const std::optional<std::string>& data_dir_given) {
  if (!data_dir_given || data_dir_given->empty()) return {};
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(*data_dir_given, error);
  return {"--data-dir", error ? *data_dir_given : absolute.string()};
}

}  // namespace lumvex
