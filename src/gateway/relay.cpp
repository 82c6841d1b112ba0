#include "gateway/relay.h"

namespace lumvex::gateway {

std::unique_ptr<char[]> BufferPool::Take() {
  if (free_.empty()) return std::make_unique<char[]>(kSize);
  std::unique_ptr<char[]> buffer = std::move(free_.back());
  free_.pop_back();
  return buffer;
}

void BufferPool::Give(std::unique_ptr<char[]> buffer) {
  if (free_.size() < kMostKept) free_.push_back(std::move(buffer));
}

namespace {

using Clock = std::chrono::steady_clock;

struct Relay {
  Relay(RelayEnds ends, Clock::duration idle_limit, BufferPool& pool, std::function<void()> done)
      : client(std::move(ends.client)),
        upstream(std::move(ends.upstream)),
        idle(idle_limit),
        buffers(pool),
        watchdog(client.get_executor()),
        finished(std::move(done)) {}
  ~Relay() {
    if (finished) finished();
  }

  void CloseBoth() {
    ErrorCode ignored;
    client.close(ignored);
    upstream.close(ignored);
  }

  tcp::socket client;
  tcp::socket upstream;
  const Clock::duration idle;
  BufferPool& buffers;
  asio::steady_timer watchdog;
  Clock::time_point last_move = Clock::now();
  int directions_done = 0;
  std::function<void()> finished;
};

// Copies `from` to `to` until `from` ends; `first` goes out before.
Task<void> Pump(std::shared_ptr<Relay> relay, tcp::socket& from, tcp::socket& to,
                std::string first) {
  ErrorCode error;
  if (!first.empty()) co_await asio::async_write(to, asio::buffer(first), Into(error));
  first = {};
  from.non_blocking(true, error);
  while (!error) {
    // Wait for bytes without a buffer; take one only while they are there.
    co_await from.async_wait(tcp::socket::wait_read, Into(error));
    if (error) break;
    std::unique_ptr<char[]> buffer = relay->buffers.Take();
    for (;;) {
      const std::size_t size = from.read_some(asio::buffer(buffer.get(), BufferPool::kSize), error);
      if (error == asio::error::would_block || error == asio::error::try_again) {
        error = {};
        break;
      }
      if (error) break;
      relay->last_move = Clock::now();
      co_await asio::async_write(to, asio::buffer(buffer.get(), size), Into(error));
      if (error || size < BufferPool::kSize) break;
    }
    relay->buffers.Give(std::move(buffer));
  }
  ErrorCode ignored;
  if (error == asio::error::eof) {
    // The other way may still carry a reply: pass the end on and let it finish.
    to.shutdown(tcp::socket::shutdown_send, ignored);
  } else {
    relay->CloseBoth();
  }
  if (++relay->directions_done == 2) {
    relay->CloseBoth();
    relay->watchdog.cancel();
  }
}

// Closes both ends once nothing moved either way for the idle limit.
Task<void> Watch(std::shared_ptr<Relay> relay) {
  for (;;) {
    relay->watchdog.expires_at(relay->last_move + relay->idle);
    ErrorCode error;
    co_await relay->watchdog.async_wait(Into(error));
    if (error || relay->directions_done == 2) co_return;
    if (Clock::now() - relay->last_move >= relay->idle) {
      relay->CloseBoth();
      co_return;
    }
  }
}

}  // namespace

void StartRelay(RelayEnds ends, Clock::duration idle, BufferPool& buffers,
                std::function<void()> finished) {
  std::string to_client = std::move(ends.to_client);
  std::string to_upstream = std::move(ends.to_upstream);
  auto relay = std::make_shared<Relay>(std::move(ends), idle, buffers, std::move(finished));
  const asio::any_io_executor executor = relay->client.get_executor();
  asio::co_spawn(executor, Pump(relay, relay->client, relay->upstream, std::move(to_upstream)),
                 asio::detached);
  asio::co_spawn(executor, Pump(relay, relay->upstream, relay->client, std::move(to_client)),
                 asio::detached);
  asio::co_spawn(executor, Watch(std::move(relay)), asio::detached);
}

}  // namespace lumvex::gateway
