#include "sysproxy/next_proxy.h"

#include <algorithm>
#include <numeric>
#include <utility>

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

std::vector<std::size_t> BestFirst(const std::vector<std::size_t>& walk,
                                   const std::function<CandidateMerit(std::size_t index)>& merit) {
  struct Ranked {
    std::size_t index;
    CandidateMerit merit;
  };
  std::vector<Ranked> passed;
  std::vector<std::size_t> rest;
  for (const std::size_t index : walk) {
    CandidateMerit of = merit(index);
    if (of.passed) {
      passed.push_back({index, std::move(of)});
    } else {
      rest.push_back(index);
    }
  }
  std::stable_sort(passed.begin(), passed.end(), [](const Ranked& a, const Ranked& b) {
    if (a.merit.score.has_value() != b.merit.score.has_value()) return a.merit.score.has_value();
    if (a.merit.score && *a.merit.score != *b.merit.score) return *a.merit.score > *b.merit.score;
    const bool a_timed = a.merit.seconds > 0;
    const bool b_timed = b.merit.seconds > 0;
    if (a_timed != b_timed) return a_timed;
    return a_timed && a.merit.seconds < b.merit.seconds;
  });
  std::vector<std::size_t> ordered;
  ordered.reserve(walk.size());
  for (const Ranked& ranked : passed) ordered.push_back(ranked.index);
  ordered.insert(ordered.end(), rest.begin(), rest.end());
  return ordered;
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
