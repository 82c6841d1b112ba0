// The three proxy-list sites on loopback, for trying the harvest by hand and for the demo.
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "fixture/command_line.h"
#include "sites/proxy_sites.h"

namespace {

using lumvex::tools::CommandLine;
using lumvex::tools::PageFault;

constexpr const char* kUsage =
    "usage: lumvex_proxy_sites [--seed 1] [--categories 5] [--pages 30] [--databases 3]\n"
    "  [--list-pages 4] [--list-rows 40] [--c-rows 30] [--proxies FILE]\n"
    "  [--port-a 0] [--port-b 0] [--port-c 0] [--max-seconds 600] [--out FILE]\n"
    "  [--log FILE]\n"
    "  [--fail TARGET] [--stall TARGET] [--junk TARGET] [--hostile TARGET] (each may repeat)\n"
    "Serves source A (category list, 80-row table pages), source B (database list, database\n"
    "pages, list pages) and source C (one page, and /http.txt: its rows as a plain list) on\n"
    "127.0.0.1. --proxies names a file of address:port lines (a proxy farm's --out) used for\n"
    "every other row. A TARGET is a request\n"
    "path with its query, e.g. /proxy_ip.html?id=101&pageid=2. Prints 'source-a HOST' lines and\n"
    "'ready' (also written to --out as a=HOST lines), stops after --max-seconds or on SIGTERM.\n"
    "--log appends one 'a|b|c TARGET' line per request as it arrives.\n";

int Fail(const std::string& message) {
  std::cerr << "lumvex_proxy_sites: " << message << "\n" << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine flags(argc, argv);
  if (flags.Has("help")) {
    std::cout << kUsage;
    return 0;
  }
  flags.RejectUnknown({"seed", "categories", "pages", "databases", "list-pages", "list-rows",
                       "c-rows", "proxies", "port-a", "port-b", "port-c", "max-seconds", "out",
                       "log", "fail", "stall", "junk", "hostile"});
  lumvex::tools::SitesConfig config;
  config.seed = static_cast<std::uint32_t>(flags.GetInt("seed", 1, 0, 0xFFFFFFFFll));
  config.categories = static_cast<int>(flags.GetInt("categories", 5, 0, 1000));
  config.pages_per_category = static_cast<int>(flags.GetInt("pages", 30, 0, 100000));
  config.databases = static_cast<int>(flags.GetInt("databases", 3, 0, 1000));
  config.list_pages = static_cast<int>(flags.GetInt("list-pages", 4, 0, 1000));
  config.rows_per_list_page = static_cast<int>(flags.GetInt("list-rows", 40, 0, 100000));
  config.c_rows = static_cast<int>(flags.GetInt("c-rows", 30, 0, 100000));
  const long long port_a = flags.GetInt("port-a", 0, 0, 65535);
  const long long port_b = flags.GetInt("port-b", 0, 0, 65535);
  const long long port_c = flags.GetInt("port-c", 0, 0, 65535);
  const long long max_seconds = flags.GetInt("max-seconds", 600, 1, 24 * 3600);
  if (!flags.ok()) return Fail(flags.error());
  config.lifetime = std::chrono::seconds(max_seconds);
  config.request_log = flags.Get("log", "");
  if (flags.Has("proxies")) {
    std::ifstream in(flags.Get("proxies", ""));
    if (!in) return Fail("cannot read " + flags.Get("proxies", ""));
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find(':') != std::string::npos) config.live_proxies.push_back(line);
    }
  }
  lumvex::tools::ProxySites sites(config);
  for (auto [flag, fault] :
       {std::pair{"fail", PageFault::kFail}, std::pair{"stall", PageFault::kStall},
        std::pair{"junk", PageFault::kJunk}, std::pair{"hostile", PageFault::kHostile}}) {
    for (const std::string& target : flags.GetAll(flag)) sites.SetFault(target, fault);
  }
  lumvex::tools::BlockStopSignals();
  if (!sites.Start(static_cast<std::uint16_t>(port_a), static_cast<std::uint16_t>(port_b),
                   static_cast<std::uint16_t>(port_c))) {
    return Fail("cannot start the sites (port in use?)");
  }
  std::cout << "source-a " << sites.HostA() << "\nsource-b " << sites.HostB() << "\nsource-c "
            << sites.HostC() << "\n";
  if (flags.Has("out")) {
    std::ofstream out(flags.Get("out", ""));
    if (!out) return Fail("cannot write " + flags.Get("out", ""));
    out << "a=" << sites.HostA() << "\nb=" << sites.HostB() << "\nc=" << sites.HostC() << "\n";
  }
  std::cout << "ready" << std::endl;
  lumvex::tools::WaitForStopSignal(max_seconds);
  sites.Stop();
  return 0;
}
