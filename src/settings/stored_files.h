// Every file the program keeps in its data directory, declared once: its name, its format and,
// for the private-profile (INI) files, its keys with the value a missing key reads as. Readers
// and writers take names, sections, keys and defaults from here and from nowhere else, so a
// file's name cannot drift between the code that writes it and the code that reads it.
//
// Besides these, a write leaves a staged copy ".NAME.tmp-XXXXXX" for a moment (see StageWrite);
// start-up removes the ones a crash left behind.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace lumvex {

// The files, in the order of kStoredFiles.
enum class DataFile {
  kProxyList,       // the proxy list
  kUnreadListCopy,  // a list file kept as it was because some of its lines could not be read
  kUtf8ListCopy,    // a list file kept as it was because it was read as UTF-8 though it is also
                    // valid GBK: the next save writes GBK, and the guess may have been wrong
  kFetchCount,      // number of proxies to fetch (编辑框2)
  kThreadCount,     // checks at once, also source A's page workers (编辑框1)
  kTray,            // start minimised to the tray (选择框2)
  kPoweredUp,       // mirror of the autostart check box (选择框1)
  kIeAgent,         // the saved system proxy and whether start-up restores it (选择框3)
  kStrict,          // the strict check's address and required text, and the judge
  kGuard,           // the proxy guard's tray item ("自动切换代理")
  kListUrl,         // the last address of "从网址导入代理IP"
  kProxyOn,         // the "proxy on" marker: the program has the system proxy on
  kProxyMode,       // the automatic proxy modes the program's proxy replaced
  kWindowLayout,    // the main window's size and place and the list's column widths
  kGateway,         // the local gateway's ports, kept from one use to the next
  kHistory,         // the check history of every proxy (history/)
  kDamagedHistory,  // a history database that could not be read, moved aside for a new one
};

enum class FileFormat {
  kProxyList,  // GBK rows "a | b | c | d | e | f" joined by "\r\n"
  kCopy,       // the bytes of another file, as they were
  kWholeText,  // the whole file is one GBK text as typed, no line end
  kGbkIni,     // GBK private-profile text: "[section]" and "key=value" lines ending in "\r\n"
  kMarker,     // its presence is what counts; holds the writer's process number and "\r\n"
  kModeLines,  // plain "store=mode" lines ending in "\r\n"
  kSqlite,     // an SQLite database in WAL mode: NAME-wal and NAME-shm stand beside it
};

// The keys of the INI files.
enum class SettingKey {
  kTray,
  kPoweredUp,
  kRun,
  kSavedProxy,
  kStrictUrl,
  kStrictExpect,
  kStrictJudge,
  kGuard,
  kListUrl,
  kWindowGeometry,
  kColumnWidths,
  kGatewayHttpPort,
  kGatewaySocksPort,
};

struct StoredKey {
  SettingKey id;
  std::string_view section;
  std::string_view key;
  // What a missing file, section or key, or an empty value, reads as.
  std::string_view fallback;
};

struct StoredFile {
  DataFile id;
  // The file's name; for the two list copies a strftime pattern of the local time of the copy.
  std::string_view name;
  FileFormat format;
  // INI files only: their keys (the unused places have an empty section).
  std::array<StoredKey, 3> keys{};
};

// The folder in the data directory that downloaded new versions go into, each under a name of
// its own (never over a file already there).
inline constexpr std::string_view kUpdatesFolderName = "updates";

inline constexpr std::string_view kYes = "yes";
inline constexpr std::string_view kNo = "no";

// The address offered by "从网址导入代理IP" the first time: a maintained public list of HTTP
// proxies as raw text.
inline constexpr std::string_view kDefaultProxyListUrl =
    "https://raw.githubusercontent.com/TheSpeedX/PROXY-List/master/http.txt";

// One line a file (two for a file of two keys), so it reads as the table it is.
// clang-format off
inline constexpr std::array<StoredFile, 17> kStoredFiles = {{
    {DataFile::kProxyList,      "The agent",                      FileFormat::kProxyList},
    {DataFile::kUnreadListCopy, "The agent.unread-%Y%m%d-%H%M%S", FileFormat::kCopy},
    {DataFile::kUtf8ListCopy,   "The agent.utf8-%Y%m%d-%H%M%S",   FileFormat::kCopy},
    {DataFile::kFetchCount,     "agent number",                   FileFormat::kWholeText},
    {DataFile::kThreadCount,    "thread",                         FileFormat::kWholeText},
    {DataFile::kTray,           "tray",                           FileFormat::kGbkIni,
     {{{SettingKey::kTray,         "tray",       "tray",       kNo}}}},
    {DataFile::kPoweredUp,      "Powered up",                     FileFormat::kGbkIni,
     {{{SettingKey::kPoweredUp,    "Powered up", "Powered up", kNo}}}},
    // "run" is "yes", "no" or unset (neither), which start-up tells apart from "no".
    {DataFile::kIeAgent,        "IE Agent",                       FileFormat::kGbkIni,
     {{{SettingKey::kRun,          "run",        "run",        ""},
       {SettingKey::kSavedProxy,   "IE Agent",   "IE一",       ""}}}},
    // Empty values mean the usual check.
    {DataFile::kStrict,         "strict",                         FileFormat::kGbkIni,
     {{{SettingKey::kStrictUrl,    "strict",     "url",        ""},
       {SettingKey::kStrictExpect, "strict",     "expect",     ""},
       {SettingKey::kStrictJudge,  "strict",     "judge",      ""}}}},
    {DataFile::kGuard,          "guard",                          FileFormat::kGbkIni,
     {{{SettingKey::kGuard,        "guard",      "guard",      kNo}}}},
    {DataFile::kListUrl,        "list url",                       FileFormat::kGbkIni,
     {{{SettingKey::kListUrl,      "list url",   "list url",   kDefaultProxyListUrl}}}},
    {DataFile::kProxyOn,        "proxy on",                       FileFormat::kMarker},
    {DataFile::kProxyMode,      "proxy mode",                     FileFormat::kModeLines},
    // "left,top,width,height" and one width a column; a missing or malformed value: the defaults.
    {DataFile::kWindowLayout,   "window",                         FileFormat::kGbkIni,
     {{{SettingKey::kWindowGeometry, "window",   "geometry",   ""},
       {SettingKey::kColumnWidths,   "window",   "columns",    ""}}}},
    // The ports "使用本地网关" listens on (127.0.0.1); empty: any free port, then kept.
    {DataFile::kGateway,        "gateway",                        FileFormat::kGbkIni,
     {{{SettingKey::kGatewayHttpPort,  "gateway", "http",       ""},
       {SettingKey::kGatewaySocksPort, "gateway", "socks",      ""}}}},
    {DataFile::kHistory,        "history.db",                     FileFormat::kSqlite},
    {DataFile::kDamagedHistory, "history.db.damaged",             FileFormat::kSqlite},
}};
// clang-format on

// The table's entry of `file`.
constexpr const StoredFile& StoredFileOf(DataFile file) {
  return kStoredFiles[static_cast<std::size_t>(file)];
}

// The name of `file` in the data directory.
constexpr std::string_view FileNameOf(DataFile file) { return StoredFileOf(file).name; }

// The file that holds `key`.
constexpr const StoredFile& FileOfKey(SettingKey key) {
  for (const StoredFile& file : kStoredFiles) {
    for (const StoredKey& k : file.keys) {
      if (!k.section.empty() && k.id == key) return file;
    }
  }
  return kStoredFiles[0];  // unreachable: every key is in the table (checked below)
}

// The section, key and fallback of `key`.
constexpr const StoredKey& StoredKeyOf(SettingKey key) {
  for (const StoredKey& k : FileOfKey(key).keys) {
    if (!k.section.empty() && k.id == key) return k;
  }
  return FileOfKey(key).keys[0];  // unreachable
}

namespace stored_files_check {

constexpr bool InOrder() {
  for (std::size_t i = 0; i < kStoredFiles.size(); ++i) {
    if (static_cast<std::size_t>(kStoredFiles[i].id) != i) return false;
  }
  return true;
}

constexpr bool EveryKeyOnce() {
  for (int key = 0; key <= static_cast<int>(SettingKey::kColumnWidths); ++key) {
    int found = 0;
    for (const StoredFile& file : kStoredFiles) {
      for (const StoredKey& k : file.keys) {
        if (!k.section.empty() && static_cast<int>(k.id) == key) ++found;
      }
    }
    if (found != 1) return false;
  }
  return true;
}

}  // namespace stored_files_check

static_assert(stored_files_check::InOrder(), "kStoredFiles follows the order of DataFile");
static_assert(stored_files_check::EveryKeyOnce(), "every SettingKey has one place in the table");
// The copy keeps the list file's name in front, so a person finds it beside the list.
static_assert(FileNameOf(DataFile::kUnreadListCopy).starts_with(FileNameOf(DataFile::kProxyList)));
static_assert(FileNameOf(DataFile::kUtf8ListCopy).starts_with(FileNameOf(DataFile::kProxyList)));
// A damaged history is moved to its own name with a suffix, its -wal file along with it.
static_assert(FileNameOf(DataFile::kDamagedHistory).starts_with(FileNameOf(DataFile::kHistory)));

}  // namespace lumvex
