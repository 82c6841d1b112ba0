#include "sysproxy/next_proxy.h"

#include <algorithm>
#include <numeric>

namespace lumvex {

std::vector<std::size_t> WalkAfter(const std::vector<std::size_t>& order,
                                   std::optional<std::size_t> current, bool wrap) {
  const auto at = current ? std::find(order.begin(), order.end(), *current) : order.end();
  if (at == order.end()) return order;
  std::vector<std::size_t> walk(at + 1, order.end());
  if (wrap) walk.insert(walk.end(), order.begin(), at);
  return walk;
}

std::vector<std::size_t> ListOrder(std::size_t count) {
  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), std::size_t{0});
  return order;
}

NextProxy FindNextProxy(const std::vector<std::size_t>& walk,
                        const std::function<CandidateTest(std::size_t index)>& test) {
  for (const std::size_t index : walk) {
    switch (test(index)) {
      case CandidateTest::kPass:
        return {NextProxy::Outcome::kFound, index};
      case CandidateTest::kStop:
        return {NextProxy::Outcome::kStopped, index};
      case CandidateTest::kFail:
        break;
    }
  }
  return {NextProxy::Outcome::kNoneLeft, 0};
}

}  // namespace lumvex
