#include "judge/client_table.h"

#include <algorithm>
#include <cmath>

namespace lumvex::judge {

ClientTable::ClientTable(double rate, int max_open, std::size_t capacity)
    : rate_(rate), burst_(std::max(1.0, rate)), max_open_(max_open), capacity_(capacity) {}

ClientTable::Client& ClientTable::Touch(const std::string& key, Clock::time_point now) {
  if (auto it = index_.find(key); it != index_.end()) {
    order_.splice(order_.begin(), order_, it->second);
    return *it->second;
  }
  if (index_.size() >= capacity_) {
    // The least recently used client without a connection; clients with one are at most the
    // server's connection cap, below the capacity, so the walk ends early.
    for (auto it = order_.end(); it != order_.begin();) {
      --it;
      if (it->open > 0) continue;
      index_.erase(it->key);
      order_.erase(it);
      break;
    }
  }
  order_.push_front(Client{key, 0, burst_, now});
  index_[key] = order_.begin();
  return order_.front();
}

void ClientTable::Refill(Client& client, Clock::time_point now) const {
  const double elapsed = std::chrono::duration<double>(now - client.refilled).count();
  if (elapsed > 0) client.tokens = std::min(burst_, client.tokens + elapsed * rate_);
  client.refilled = std::max(client.refilled, now);
}

bool ClientTable::Open(const std::string& key, Clock::time_point now) {
  Client& client = Touch(key, now);
  if (client.open >= max_open_) return false;
  ++client.open;
  return true;
}

void ClientTable::Close(const std::string& key) {
  if (auto it = index_.find(key); it != index_.end() && it->second->open > 0) --it->second->open;
}

int ClientTable::TakeRequest(const std::string& key, Clock::time_point now) {
  Client& client = Touch(key, now);
  Refill(client, now);
  if (client.tokens >= 1) {
    client.tokens -= 1;
    return 0;
  }
  return std::max(1, static_cast<int>(std::ceil((1 - client.tokens) / rate_)));
}

}  // namespace lumvex::judge
