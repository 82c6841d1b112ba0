// The update manifest page and the download of the new version on loopback, for trying the
// online update by hand or in the demo.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "fixture/command_line.h"
#include "update_servers/download_server.h"
#include "update_servers/manifest_server.h"

namespace {

using lumvex::tools::CommandLine;
using lumvex::tools::DownloadContent;
using lumvex::tools::DownloadServer;
using lumvex::tools::ManifestContent;
using lumvex::tools::ManifestServer;

constexpr const char* kUsage =
    "usage: lumvex_update_servers [--manifest-port 0] [--download-port 0] [--max-seconds 3600]\n"
    "  [--manifest full|absent|not-manifest|same-version] [--new-version TITLE]\n"
    "  [--download-file PATH | --download-size BYTES] [--rate BYTES_PER_SECOND]\n"
    "  [--fail-after BYTES] [--download-status 200] [--no-length yes] [--sha256 HEX]\n"
    "Serves the manifest page (GBK, every field; its 下载地址 names the download server) and the\n"
    "new program, with --sha256 also the SHA256校验 field (written as given). Prints both\n"
    "addresses, then runs until SIGINT/SIGTERM or --max-seconds.\n";

int Fail(const std::string& message) {
  std::cerr << "lumvex_update_servers: " << message << "\n" << kUsage;
  return 2;
}

bool ParseMode(const std::string& name, ManifestContent::Mode* mode) {
  if (name == "full")
    *mode = ManifestContent::Mode::kFull;
  else if (name == "absent")
    *mode = ManifestContent::Mode::kAbsent;
  else if (name == "not-manifest")
    *mode = ManifestContent::Mode::kNotManifest;
  else if (name == "same-version")
    *mode = ManifestContent::Mode::kSameVersion;
  else
    return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  CommandLine flags(argc, argv);
  if (flags.Has("help")) {
    std::cout << kUsage;
    return 0;
  }
  flags.RejectUnknown({"manifest-port", "download-port", "max-seconds", "manifest", "new-version",
                       "download-file", "download-size", "rate", "fail-after", "download-status",
                       "no-length", "sha256"});
  const long long manifest_port = flags.GetInt("manifest-port", 0, 0, 65535);
  const long long download_port = flags.GetInt("download-port", 0, 0, 65535);
  const long long max_seconds = flags.GetInt("max-seconds", 3600, 1, 24 * 3600);
  DownloadContent download;
  download.bytes_per_second = flags.GetInt("rate", 0, 0, 1LL << 40);
  download.fail_after = flags.GetInt("fail-after", -1, -1, 1LL << 40);
  download.status = static_cast<int>(flags.GetInt("download-status", 200, 100, 999));
  const long long size = flags.GetInt("download-size", 3 << 20, 0, 1LL << 30);
  if (!flags.ok()) return Fail(flags.error());
  download.send_length = !flags.Has("no-length");
  if (flags.Has("download-file")) {
    std::ifstream in(flags.Get("download-file", ""), std::ios::binary);
    if (!in) return Fail("cannot read " + flags.Get("download-file", ""));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    download.body = bytes.str();
  } else {
    download.body = lumvex::tools::KnownBody(static_cast<std::size_t>(size));
  }
  ManifestContent manifest;
  if (!ParseMode(flags.Get("manifest", "full"), &manifest.mode)) return Fail("unknown --manifest");
  manifest.new_version = flags.Get("new-version", manifest.new_version);
  manifest.sha256 = flags.Get("sha256", "");

  lumvex::tools::BlockStopSignals();
  DownloadServer download_server(download, static_cast<uint16_t>(download_port));
  if (!download_server.Start()) return Fail("cannot listen for downloads");
  manifest.download_address = download_server.Url();
  ManifestServer manifest_server(manifest, static_cast<uint16_t>(manifest_port));
  manifest_server.server().SetLifetimeMs(max_seconds * 1000);
  if (!manifest_server.Start()) return Fail("cannot listen for the manifest");
  std::cout << "manifest " << manifest_server.Url() << "\n"
            << "download " << download_server.Url() << " (" << download.body.size() << " bytes)"
            << std::endl;
  lumvex::tools::WaitForStopSignal(max_seconds);
  manifest_server.Stop();
  download_server.Stop();
  std::cout << "download requests " << download_server.Requests() << std::endl;
  return 0;
}
