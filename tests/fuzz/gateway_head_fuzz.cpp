// The gateway's reading of a client's request head, from arbitrary bytes to what it sends
// upstream: a head it accepts is forwarded as a head that reads back with the same request line
// and fields, and the destination it takes from the target (absolute form or CONNECT's
// authority) never carries a byte that would split the CONNECT request or the SOCKS request
// built from it.
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "gateway/wire_format.h"

namespace {

using namespace lumvex::gateway;

bool CleanHost(const std::string& host) {
  if (host.empty()) return false;
  for (const char c : host) {
    if (c == '\r' || c == '\n' || c == ' ' || c == '\0' || c == '/') return false;
  }
  return true;
}

void CheckDestination(const Destination& destination) {
  FUZZ_CHECK(CleanHost(destination.host));
  FUZZ_CHECK(destination.port > 0);
  const std::string connect = ConnectRequest(destination, {});
  const std::optional<RequestHead> again = ParseRequestHead(connect);
  FUZZ_CHECK(again && again->method == "CONNECT" && again->fields.size() == 1);
  const std::optional<Destination> back = ParseAuthority(again->target);
  FUZZ_CHECK(back && back->host == destination.host && back->port == destination.port);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::optional<RequestHead> head = ParseRequestHead(bytes);
  if (!head) return 0;
  if (const std::optional<AbsoluteTarget> target = ParseAbsoluteTarget(head->target)) {
    CheckDestination(target->destination);
    FUZZ_CHECK(!target->path.empty() && target->path[0] == '/');
    const std::string forwarded = ForwardedHead(*head, target->path, {"user", "secret"});
    const std::optional<RequestHead> again = ParseRequestHead(forwarded);
    FUZZ_CHECK(again && again->method == head->method && again->target == target->path &&
               again->version == head->version);
    // The client's own fields come through in order, the connection fields replaced by one.
    FUZZ_CHECK(FieldOf(*again, "Connection") == std::optional<std::string>("close"));
    FUZZ_CHECK(!FieldOf(*again, "Proxy-Authorization") || FieldOf(*head, "Proxy-Authorization"));
  }
  if (head->method == "CONNECT") {
    if (const std::optional<Destination> destination = ParseAuthority(head->target)) {
      CheckDestination(*destination);
    }
  }
  return 0;
}
