#include "gateway/client_session.h"

#include <chrono>
#include <optional>

#include "gateway/client_wish.h"
#include "gateway/deadline.h"
#include "gateway/upstream_dial.h"

namespace lumvex::gateway {
namespace {

using Clock = std::chrono::steady_clock;

// What a client is told when no upstream carried its connection.
constexpr std::string_view kNoUpstreamText = "no upstream proxy works\n";
constexpr unsigned char kSocksGeneralFailure = 0x01;
constexpr unsigned char kSocksHostUnreachable = 0x04;
constexpr std::size_t kFirstReplyBytes = 16 * 1024;
// Upstreams asked before a site they cannot reach is taken to be down itself.
constexpr int kMostSiteFailures = 3;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A reply to a forwarded request that is the upstream's own refusal, not the origin's answer:
// any 407, and a 403 or 5xx that carries a proxy's sign (see LooksLikeProxyReply). A plain 403 or
// 503 of the origin passes, so that one failing site cannot take every upstream down.
bool ProxyRefused(std::string_view first_bytes, int* status) {
  const std::optional<int> code = ReplyStatus(first_bytes);
  if (!code) return false;
  *status = *code;
  if (*code == 407) return true;
  return (*code == 403 || *code >= 500) && LooksLikeProxyReply(first_bytes);
}

class Session {
 public:
  Session(GatewayCore& core, tcp::socket client, ClientWish wish, ConnectionSlot& slot)
      : core_(core), client_(std::move(client)), wish_(std::move(wish)), slot_(slot) {}

  Task<void> Run() {
    const Clock::time_point start = Clock::now();
    const Clock::time_point give_up = start + SecondsOf(core_.options.client_seconds);
    const std::vector<Candidate> candidates =
        core_.pool.Choose(wish_.destination.host, wish_.tunnel, start);
    for (const Candidate& candidate : candidates) {
      const Clock::duration left = give_up - Clock::now();
      if (left <= Clock::duration::zero() || site_failures_ >= kMostSiteFailures) break;
      if (co_await Try(candidate, start, std::min(left, SecondsOf(core_.options.upstream_seconds)),
                       give_up)) {
        co_return;
      }
    }
    if (wish_.socks) {
      co_await TellSocksClient(client_,
                               candidates.empty() ? kSocksGeneralFailure : kSocksHostUnreachable);
    } else {
      co_await TellHttpClient(client_, "502 Bad Gateway", kNoUpstreamText);
    }
  }

 private:
  // True when `candidate` carries the connection (the relay has started); false after a failure
  // seen before any reply byte reached the client.
  Task<bool> Try(const Candidate& candidate, Clock::time_point start, Clock::duration limit,
                 Clock::time_point give_up) {
    const bool tunnel = wish_.tunnel || candidate.proxy.IsSocks();
    DialResult dial = co_await DialUpstream(candidate.proxy, wish_.destination, tunnel, limit);
    if (!dial.socket) {
      if (dial.site_unreachable) {
        SiteUnreachable(candidate, start);
      } else {
        Failed(candidate, start, dial.failure, dial.http_status);
      }
      co_return false;
    }
    RelayEnds ends{std::move(client_), std::move(*dial.socket), std::move(dial.early), {}};
    if (wish_.tunnel) {
      ends.to_upstream = wish_.early;
      if (!co_await Welcome(ends.client)) co_return true;
      co_return Relay(candidate, start, std::move(ends));
    }
    // A plain request: its head (and what came of its body) goes out first.
    ends.to_upstream = ForwardedHead(wish_.head, tunnel ? wish_.path : wish_.head.target,
                                     candidate.proxy.login) +
                       wish_.early;
    // A body still to come is relayed at once, with no check of the reply: the origin may wait
    // for all of it before it answers.
    if (BodyBeyond(wish_.head, wish_.early.size())) co_return Relay(candidate, start, std::move(ends));
    ErrorCode error;
    co_await asio::async_write(ends.upstream, asio::buffer(ends.to_upstream), Into(error));
    ends.to_upstream.clear();
    std::string reply(kFirstReplyBytes, '\0');
    std::size_t size = 0;
    {
      // The reply must begin within the upstream's own limit too: a proxy that takes the request
      // and says nothing is left like one that never finished its handshake.
      Deadline deadline(ends.upstream.get_executor(), std::min(limit, give_up - Clock::now()),
                        [&ends] { ErrorCode ignored; ends.upstream.close(ignored); });
      if (!error) size = co_await ends.upstream.async_read_some(asio::buffer(reply), Into(error));
      if (deadline.Passed()) error = asio::error::timed_out;
    }
    int status = 0;
    if (size == 0 || (!tunnel && ProxyRefused(std::string_view(reply).substr(0, size), &status))) {
      client_ = std::move(ends.client);
      Failed(candidate, start,
             error == asio::error::timed_out ? UpstreamFailure::kTimeout
             : status != 0                   ? UpstreamFailure::kProxySaid
                                             : UpstreamFailure::kHandshakeFailed,
             status);
      co_return false;
    }
    reply.resize(size);
    ends.to_client = std::move(reply);
    co_return Relay(candidate, start, std::move(ends));
  }

  // Tells a tunnel's client it is open. False when the client is gone.
  Task<bool> Welcome(tcp::socket& client) {
    ErrorCode error;
    if (wish_.socks) {
      co_await TellSocksClient(client, 0);
      co_return client.is_open();
    }
    static constexpr std::string_view kEstablished = "HTTP/1.1 200 Connection established\r\n\r\n";
    co_await asio::async_write(client, asio::buffer(kEstablished), Into(error));
    co_return !error;
  }

  bool Relay(const Candidate& candidate, Clock::time_point start, RelayEnds ends) {
    if (core_.events.used) core_.events.used(candidate.address, true, SecondsSince(start));
    core_.pool.Used(wish_.destination.host, candidate.address, Clock::now());
    StartRelay(std::move(ends), SecondsOf(core_.options.idle_seconds), core_.buffers,
               slot_.HandOver());
    return true;
  }

  // The upstream could not reach the site: the next one is tried, this one stays up.
  void SiteUnreachable(const Candidate& candidate, Clock::time_point start) {
    if (core_.events.used) core_.events.used(candidate.address, false, SecondsSince(start));
    ++site_failures_;
  }

  void Failed(const Candidate& candidate, Clock::time_point start, UpstreamFailure failure,
              int status) {
    if (core_.events.used) core_.events.used(candidate.address, false, SecondsSince(start));
    // A 5xx of the proxy's own says it could not reach the site (a name that does not resolve, a
    // dead host): the next upstream may, but this one is not to blame and stays up, so that one
    // dead site cannot take every upstream down.
    if (failure == UpstreamFailure::kProxySaid && status >= 500) {
      ++site_failures_;
      return;
    }
    // An HTTP proxy never seen to tunnel that answers CONNECT with a refusal of its own still
    // relays plain requests.
    if (wish_.tunnel && failure == UpstreamFailure::kProxySaid && !candidate.proxy.IsSocks() &&
        !candidate.tunnels) {
      core_.pool.MarkNoTunnel(candidate.address);
      return;
    }
    if (core_.pool.MarkDown(candidate.address) && core_.events.down) {
      core_.events.down(candidate.address, failure, status);
    }
  }

  GatewayCore& core_;
  tcp::socket client_;
  const ClientWish wish_;
  ConnectionSlot& slot_;
  int site_failures_ = 0;  // upstreams that said they could not reach the site
};

}  // namespace

Task<void> ServeClient(GatewayCore& core, tcp::socket client, bool socks) {
  ConnectionSlot slot(core);
  ErrorCode error;
  client.set_option(tcp::no_delay(true), error);
  std::optional<ClientWish> wish;
  {
    // A client has this long to say what it wants.
    Deadline deadline(client.get_executor(), SecondsOf(core.options.head_seconds),
                      [&client] { ErrorCode ignored; client.close(ignored); });
    // (Each co_await a statement of its own: GCC 12 mishandles one in a conditional expression.)
    if (socks) {
      wish = co_await ReadSocksWish(client);
    } else {
      wish = co_await ReadHttpWish(client);
    }
    if (deadline.Passed()) co_return;
  }
  if (!wish) co_return;
  Session session(core, std::move(client), std::move(*wish), slot);
  co_await session.Run();
}

}  // namespace lumvex::gateway
