// The window front end: builds the Application on the Qt UI thread, shows the main window and
// runs the event loop until the exit sequence ends it.
#pragma once

#include <QApplication>
#include <future>
#include <optional>
#include <string>
#include <vector>

#include "config/command_line.h"
#include "proxylist/agent_file.h"
#include "proxylist/proxy_entry.h"

namespace lumvex {

using ListReadAhead = std::future<std::optional<AgentFileContent>>;

// Runs the program's window until it ends; returns the exit status. `data_dir` is the data
// directory the start worked out; `ahead` holds its list file, being read while the window is
// built.
int RunDesktop(QApplication& app, const CommandLineOptions& options,
               const std::string& run_directory, const DataDir& data_dir, ListReadAhead ahead);

}  // namespace lumvex
