#include "sysproxy/next_proxy.h"

namespace lumvex {

NextProxy FindNextProxy(std::size_t from, std::size_t count,
                        const std::function<CandidateTest(std::size_t index)>& test) {
  for (std::size_t index = from; index < count; ++index) {
    switch (test(index)) {
      case CandidateTest::kPass:
        return {NextProxy::Outcome::kFound, index};
      case CandidateTest::kStop:
        return {NextProxy::Outcome::kStopped, index};
      case CandidateTest::kFail:
        break;
    }
  }
  return {NextProxy::Outcome::kNoneLeft, count};
}

}  // namespace lumvex
