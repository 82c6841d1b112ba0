#include "gateway/gateway.h"

#include <atomic>
#include <thread>

#include "gateway/address_rules.h"
#include "gateway/asio.h"
#include "gateway/client_session.h"
#include "gateway/gateway_core.h"

namespace lumvex::gateway {
namespace {

// Accepts clients until the io_context stops. Clients from outside the allow list, and those
// beyond max_connections, are closed at once.
Task<void> Accept(GatewayCore& core, tcp::acceptor acceptor, bool socks) {
  const asio::any_io_executor executor = co_await asio::this_coro::executor;
  asio::steady_timer pause(executor);
  for (;;) {
    ErrorCode error;
    tcp::socket client = co_await acceptor.async_accept(Into(error));
    if (error == asio::error::operation_aborted || !acceptor.is_open()) co_return;
    if (error) {
      // Out of descriptors or the like: wait a little rather than spin.
      pause.expires_after(std::chrono::milliseconds(50));
      co_await pause.async_wait(Into(error));
      continue;
    }
    const tcp::endpoint peer = client.remote_endpoint(error);
    if (error || !core.allow.Allows(peer.address()) ||
        core.open_connections >= core.options.max_connections) {
      client.close(error);
      continue;
    }
    asio::co_spawn(executor, ServeClient(core, std::move(client), socks), asio::detached);
  }
}

}  // namespace

struct Gateway::Impl {
  Impl(GatewayOptions options, GatewayEvents events)
      : core(std::move(options), std::move(events)) {}

  // Binds `text`; an error text when it could not.
  std::optional<std::string> Listen(const std::string& text, bool socks, std::atomic<int>& port) {
    const std::optional<tcp::endpoint> endpoint = ParseListenAddress(text);
    if (!endpoint) return "not an address:port to listen on: " + text;
    tcp::acceptor acceptor(*io);
    ErrorCode error;
    acceptor.open(endpoint->protocol(), error);
    if (!error) acceptor.set_option(tcp::acceptor::reuse_address(true), error);
    if (!error) acceptor.bind(*endpoint, error);
    if (!error) acceptor.listen(asio::socket_base::max_listen_connections, error);
    if (error) return "cannot listen on " + text + ": " + error.message();
    port = acceptor.local_endpoint().port();
    acceptors.emplace_back(std::move(acceptor), socks);
    return std::nullopt;
  }

  GatewayCore core;
  std::unique_ptr<asio::io_context> io;
  std::vector<std::pair<tcp::acceptor, bool>> acceptors;  // until the thread takes them
  std::thread thread;
  std::atomic<int> http_port{0};
  std::atomic<int> socks_port{0};
};

Gateway::Gateway(GatewayOptions options, GatewayEvents events)
    : impl_(std::make_unique<Impl>(std::move(options), std::move(events))) {}

Gateway::~Gateway() { Stop(); }

std::optional<std::string> Gateway::Start() {
  Impl& impl = *impl_;
  if (impl.thread.joinable()) return "the gateway runs already";
  const GatewayOptions& options = impl.core.options;
  if (options.http_listen.empty() && options.socks_listen.empty()) return "no address to listen on";
  std::string error;
  std::optional<AllowList> allow = AllowList::Of(options.allow, &error);
  if (!allow) return error;
  for (const std::string* text : {&options.http_listen, &options.socks_listen}) {
    if (text->empty()) continue;
    const std::optional<tcp::endpoint> endpoint = ParseListenAddress(*text);
    if (!endpoint) return "not an address:port to listen on: " + *text;
    if (!IsLoopback(endpoint->address()) && allow->Empty()) {
      return "a listen address that is not loopback needs --allow";
    }
  }
  impl.core.allow = std::move(*allow);
  impl.io = std::make_unique<asio::io_context>(1);
  std::optional<std::string> failed;
  if (!options.http_listen.empty()) failed = impl.Listen(options.http_listen, false, impl.http_port);
  if (!failed && !options.socks_listen.empty()) {
    failed = impl.Listen(options.socks_listen, true, impl.socks_port);
  }
  if (failed) {
    impl.acceptors.clear();
    impl.io.reset();
    impl.http_port = 0;
    impl.socks_port = 0;
    return failed;
  }
  for (auto& [acceptor, socks] : impl.acceptors) {
    asio::co_spawn(*impl.io, Accept(impl.core, std::move(acceptor), socks), asio::detached);
  }
  impl.acceptors.clear();
  impl.thread = std::thread([io = impl.io.get()] { io->run(); });
  return std::nullopt;
}

int Gateway::HttpPort() const { return impl_->http_port; }
int Gateway::SocksPort() const { return impl_->socks_port; }

void Gateway::SetUpstreams(std::vector<Upstream> upstreams) { impl_->core.pool.Set(upstreams); }
void Gateway::AddUpstream(const Upstream& upstream) { impl_->core.pool.Add(upstream); }
void Gateway::MarkUp(const std::string& address) { impl_->core.pool.MarkUp(address); }
std::size_t Gateway::WorkingCount() const { return impl_->core.pool.WorkingCount(); }

void Gateway::Stop() {
  Impl& impl = *impl_;
  if (!impl.thread.joinable()) return;
  impl.io->stop();
  impl.thread.join();
  // Destroying the io_context destroys every connection's coroutine, closing its sockets.
  impl.io.reset();
}

}  // namespace lumvex::gateway
