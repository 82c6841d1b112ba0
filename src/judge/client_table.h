// What the judge remembers of each client address: its open connections and its request tokens.
// The table has a fixed capacity; a new client past it takes the place of the client that has
// been idle longest (no open connection), so a flood from ever new source addresses costs a
// fixed amount of memory. A client evicted that way comes back with a full bucket, which is the
// price of the bound.
#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>

namespace lumvex::judge {

class ClientTable {
 public:
  using Clock = std::chrono::steady_clock;

  // `rate` requests a second on average, in bursts of up to max(1, rate); at most
  // `max_open` connections at once per client; at most `capacity` clients remembered (it should
  // exceed the server's connection cap, so that an idle client can always be evicted).
  ClientTable(double rate, int max_open, std::size_t capacity);

  // Counts a new connection of `key`; false (nothing counted) when the client has `max_open`.
  bool Open(const std::string& key, Clock::time_point now);
  // Ends a connection counted by Open.
  void Close(const std::string& key);

  // Takes one request token of `key`: 0 when there was one, else the whole seconds (at least 1)
  // until there will be.
  int TakeRequest(const std::string& key, Clock::time_point now);

  std::size_t size() const { return index_.size(); }

 private:
  struct Client {
    std::string key;
    int open = 0;
    double tokens = 0;
    Clock::time_point refilled;
  };
  using Order = std::list<Client>;  // most recently used first

  // The client of `key`, made most recently used; added (evicting if full) when new.
  Client& Touch(const std::string& key, Clock::time_point now);
  void Refill(Client& client, Clock::time_point now) const;

  const double rate_;
  const double burst_;
  const int max_open_;
  const std::size_t capacity_;
  Order order_;
  std::unordered_map<std::string, Order::iterator> index_;
};

}  // namespace lumvex::judge
