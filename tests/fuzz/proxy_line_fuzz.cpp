// The import line parser on arbitrary lines: at most two rows, both for one address and port,
// every cell a row fills taken from the line (the address after its scheme), the type column
// naming a SOCKS scheme's protocol, and the other cells empty.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "proxylist/proxy_line_parser.h"

namespace {

// The address without the scheme a SOCKS row keeps in front of it: a leading run of letters and
// digits before "://" ("://" later on belongs to a login's password).
std::string_view HostOf(std::string_view address) {
  const std::size_t separator = address.find("://");
  if (separator == std::string_view::npos) return address;
  for (const char c : address.substr(0, separator)) {
    if (!std::isalnum(static_cast<unsigned char>(c))) return address;
  }
  return address.substr(separator + 3);
}

// The host of an address, after its login if it has one (a login holds no '@').
std::string_view BareHost(std::string_view address) {
  const std::string_view host = HostOf(address);
  const std::size_t at = host.rfind('@');
  return at == std::string_view::npos ? host : host.substr(at + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::vector<ProxyEntry> rows = ParseProxyLine(line);
  FUZZ_CHECK(rows.size() <= 2);
  for (const ProxyEntry& row : rows) {
    FUZZ_CHECK(!row.cells[kColAddress].empty() && !row.cells[kColPort].empty());
    FUZZ_CHECK(row.cells[kColAddress] == rows[0].cells[kColAddress]);
    FUZZ_CHECK(row.cells[kColPort] == rows[0].cells[kColPort]);
    const std::string_view address = row.cells[kColAddress];
    const std::string_view scheme = address.substr(0, address.size() - HostOf(address).size());
    // The login and the host are taken from the line (blanks between them are not kept).
    const std::string_view host = BareHost(address);
    const std::string_view login = HostOf(address).substr(0, HostOf(address).size() - host.size());
    FUZZ_CHECK(line.find(host) != std::string_view::npos);
    FUZZ_CHECK(line.find(login) != std::string_view::npos);
    for (const int column : {kColPort, kColLocation}) {
      FUZZ_CHECK(line.find(row.cells[column]) != std::string_view::npos);
    }
    const std::string& type = row.cells[kColType];
    if (scheme.empty()) {
      FUZZ_CHECK(type.empty());
    } else if (scheme.starts_with("socks4")) {
      FUZZ_CHECK((scheme == "socks4://" || scheme == "socks4a://") && type == "SOCKS4");
    } else {
      FUZZ_CHECK((scheme == "socks5://" || scheme == "socks5h://") && type == "SOCKS5");
    }
    for (const int column : {kColSpeed, kColSurvival}) {
      FUZZ_CHECK(row.cells[column].empty());
    }
  }
  // The address and port come before the location in the line.
  if (!rows.empty()) {
    const std::size_t address_at = line.find(BareHost(rows[0].cells[kColAddress]));
    FUZZ_CHECK(line.find(rows[0].cells[kColPort], address_at) != std::string_view::npos);
  }
  return 0;
}
