// The name one proxy's history is kept under: its address written one way, so that every way of
// writing the same proxy (see SameProxyAddress) finds the same records.
#pragma once

#include <string>
#include <string_view>

namespace lumvex {

// "socks5://host:80" for "SOCKS5://Host:080": the scheme's prefix in small letters (none for
// HTTP, "http://" included), the host in small letters (an IPv6 address in brackets), the port
// in decimal without leading zeros. The login is left out: a proxy's health is that of the server
// behind the address, whoever logs in, and a password has no place in a file kept for statistics.
// Text that is no proxy address is kept as it is (it is the same only as the very same text).
std::string HistoryKey(std::string_view address);

// True when `address` is already written as HistoryKey writes it, so the key is the text itself
// (checked without making a copy: a table column looks up many addresses).
bool IsHistoryKey(std::string_view address);

}  // namespace lumvex
