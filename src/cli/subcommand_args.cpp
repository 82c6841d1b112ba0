#include "cli/subcommand_args.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "cli/skipped_lines.h"
#include "proxylist/address_line_reader.h"
#include "proxylist/seen_addresses.h"
#include "text/text_util.h"

namespace lumvex::cli {
namespace {

// The own flag of `command` called `name`, or null.
const OptionSpec* OwnFlag(Invocation command, std::string_view name) {
  const OptionSpec* option = FindOption(name, command);
  return option != nullptr && !option->program_wide && Takes(*option, command) ? option : nullptr;
}

}  // namespace

SubcommandArgs ParseSubcommandArgs(const std::vector<std::string>& args, Invocation command) {
  SubcommandArgs result;
  std::vector<std::string> common = {"lumvexip"};
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() < 2 || arg[0] != '-' || (arg[1] != '-' && arg != "-h")) {
      result.positional.push_back(arg);
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    if (name == "--help" || name == "-h") {
      common.push_back(name);
      continue;
    }
    // A value that starts with "--" is the next flag: "--expect --data-dir DIR" forgot the
    // text. "--flag=--value" still gives one.
    const bool value_follows = i + 1 < args.size() && !args[i + 1].starts_with("--");
    const OptionSpec* own = OwnFlag(command, name);
    const OptionSpec* option = FindOption(name);
    if (own == nullptr && (option == nullptr || !option->program_wide)) {
      // Named as typed, and nothing after it taken for its value: "--jsn list.txt" is a
      // mistyped flag followed by the file, not a flag with a value.
      result.errors.push_back("unknown option " + text::EscapeControls(name));
      continue;
    }
    if (own != nullptr && !own->value_name.empty()) {
      if (eq != std::string::npos) {
        result.values[name] = arg.substr(eq + 1);
        result.all_values.emplace_back(name, result.values[name]);
      } else if (value_follows) {
        result.values[name] = args[++i];
        result.all_values.emplace_back(name, result.values[name]);
      } else {
        result.errors.push_back(name + " needs a value");
      }
    } else if (own != nullptr) {
      if (eq != std::string::npos) {
        result.errors.push_back(name + " takes no value");
      } else {
        result.switches.insert(name);
      }
    } else {
      if (eq == std::string::npos && !value_follows) {
        result.errors.push_back(name + " needs a value");
        continue;
      }
      common.push_back(arg);
      if (eq == std::string::npos) common.push_back(args[++i]);
    }
  }
  std::vector<const char*> argv;
  for (const std::string& s : common) argv.push_back(s.c_str());
  result.common = ParseCommandLine(static_cast<int>(argv.size()), argv.data());
  result.errors.insert(result.errors.end(), result.common.errors.begin(),
                       result.common.errors.end());
  return result;
}

std::optional<std::vector<ProxyEntry>> ReadListRows(const SubcommandArgs& parsed, std::istream& in,
                                                    std::ostream& err, Repeats repeats) {
  const std::string source = parsed.positional.empty() ? "-" : parsed.positional[0];
  const std::string shown = source == "-" ? "standard input" : text::EscapeControls(source);
  std::ifstream file;
  std::istream* stream = &in;
  if (source != "-") {
    std::error_code error;
    if (std::filesystem::is_directory(source, error)) {
      err << shown << ": is a directory, not a list" << std::endl;
      return std::nullopt;
    }
    file.open(source, std::ios::binary);
    if (!file) {
      err << shown << ": cannot read: " << std::strerror(errno) << std::endl;
      return std::nullopt;
    }
    stream = &file;
  }
  std::vector<ProxyEntry> rows;
  SeenAddresses seen;
  SkippedLines skipped(err);
  // Addresses are ASCII, so the encoding matters only for the rest of a line; it is told line
  // by line, as a pipe cannot be read twice.
  const AddressReadSummary summary = ReadAddressLines(
      *stream, LineEncoding::kEachLine,
      [&](std::vector<ProxyEntry>&& line_rows) {
        // `@type;location` lines give a second row for the same proxy: one check is enough.
        if (repeats == Repeats::kSkip && !seen.FirstTime(line_rows.front())) {
          skipped.Repeated();
        } else {
          rows.push_back(std::move(line_rows.front()));
        }
        return true;
      },
      skipped.Sink());
  skipped.Finish(summary);
  if (summary.read_failed) {
    err << shown << ": read error" << std::endl;
    return std::nullopt;
  }
  if (summary.stopped_at_nul) {
    err << shown << ": NUL byte in line " << summary.lines + 1 << ": not a text list" << std::endl;
    return std::nullopt;
  }
  return rows;
}

int ReportUsageErrors(const std::vector<std::string>& errors, std::string_view usage,
                      std::ostream& err) {
  for (const std::string& error : errors) err << error << '\n';
  err << "Usage: " << usage << std::endl;
  return 2;
}

int ReportUsageErrors(const std::vector<std::string>& errors, std::string_view usage) {
  for (const std::string& error : errors) std::fprintf(stderr, "%s\n", error.c_str());
  std::fprintf(stderr, "Usage: %.*s\n", static_cast<int>(usage.size()), usage.data());
  return 2;
}

}  // namespace lumvex::cli
