#include "gateway/upstream_pool.h"

#include <algorithm>
#include <optional>

namespace lumvex::gateway {

UpstreamPool::Entry* UpstreamPool::Find(const std::string& address) {
  for (Entry& entry : entries_) {
    if (entry.upstream.address == address) return &entry;
  }
  return nullptr;
}

void UpstreamPool::Set(const std::vector<Upstream>& upstreams) {
  std::lock_guard lock(mutex_);
  entries_.clear();
  for (const Upstream& upstream : upstreams) {
    const std::optional<ProxyAddress> proxy = ParseProxyAddress(upstream.address);
    if (proxy && Find(upstream.address) == nullptr) entries_.push_back({upstream, *proxy});
  }
}

void UpstreamPool::Add(const Upstream& upstream) {
  std::lock_guard lock(mutex_);
  if (Entry* entry = Find(upstream.address)) {
    entry->upstream = upstream;
    return;
  }
  if (const std::optional<ProxyAddress> proxy = ParseProxyAddress(upstream.address)) {
    entries_.push_back({upstream, *proxy});
  }
}

void UpstreamPool::MarkUp(const std::string& address) {
  std::lock_guard lock(mutex_);
  down_.erase(address);
  if (Entry* entry = Find(address)) entry->no_tunnel = false;
}

bool UpstreamPool::MarkDown(const std::string& address) {
  std::lock_guard lock(mutex_);
  return down_.insert(address).second;
}

void UpstreamPool::MarkNoTunnel(const std::string& address) {
  std::lock_guard lock(mutex_);
  if (Entry* entry = Find(address)) entry->no_tunnel = true;
}

std::size_t UpstreamPool::WorkingCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::count_if(
      entries_.begin(), entries_.end(), [this](const Entry& entry) { return Working(entry); }));
}

std::vector<Candidate> UpstreamPool::Choose(const std::string& host, bool tunnel,
                                            Clock::time_point now) {
  std::lock_guard lock(mutex_);
  std::vector<const Entry*> order;
  for (const Entry& entry : entries_) {
    if (Working(entry) && !(tunnel && entry.no_tunnel)) order.push_back(&entry);
  }
  // Known tunnels first when a tunnel is wanted (an HTTP proxy not seen to tunnel may refuse
  // CONNECT), then the higher score; the order given breaks ties.
  const auto rank = [tunnel](const Entry* entry) {
    return !tunnel || entry->upstream.tunnels || entry->proxy.IsSocks();
  };
  std::stable_sort(order.begin(), order.end(), [&rank](const Entry* a, const Entry* b) {
    if (rank(a) != rank(b)) return rank(a);
    return a->upstream.score > b->upstream.score;
  });
  if (rotation_ == Rotation::kEach && !order.empty()) {
    std::rotate(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(turn_++ % order.size()),
                order.end());
  }
  if (rotation_ == Rotation::kSticky) {
    const auto sticky = sticky_.find(host);
    if (sticky != sticky_.end()) {
      const auto kept = std::find_if(order.begin(), order.end(), [&](const Entry* entry) {
        return entry->upstream.address == sticky->second.address;
      });
      // An expired host, or one whose upstream went down, starts again from the best.
      if (sticky->second.until <= now || kept == order.end()) {
        sticky_.erase(sticky);
      } else {
        std::rotate(order.begin(), kept, kept + 1);
      }
    }
  }
  std::vector<Candidate> candidates;
  candidates.reserve(order.size());
  for (const Entry* entry : order) candidates.push_back({entry->upstream.address, entry->proxy, entry->upstream.tunnels});
  return candidates;
}

void UpstreamPool::Used(const std::string& host, const std::string& address,
                        Clock::time_point now) {
  if (rotation_ != Rotation::kSticky) return;
  std::lock_guard lock(mutex_);
  // Bounded: a client naming ever new hosts cannot grow the table without end.
  constexpr std::size_t kMostHosts = 10000;
  if (sticky_.size() >= kMostHosts) {
    std::erase_if(sticky_, [now](const auto& item) { return item.second.until <= now; });
    if (sticky_.size() >= kMostHosts) sticky_.clear();
  }
  const auto it = sticky_.find(host);
  if (it == sticky_.end() || it->second.until <= now) sticky_[host] = {address, now + kStickyFor};
}

}  // namespace lumvex::gateway
