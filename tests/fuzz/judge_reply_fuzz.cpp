// The judge-reply reader on arbitrary bytes (a proxy can put anything in place of the judge's
// echo): it never throws, an unreadable reply has a reason, a readable one stays within the
// limits, and its classification holds against any of its own origins.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "validate/anonymity.h"
#include "validate/judge_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::string_view body(reinterpret_cast<const char*>(data), size);
  const JudgeReading reading = ReadJudgeReply(body);
  FUZZ_CHECK(reading.view.has_value() == reading.reason.empty());
  if (!reading.view) return 0;
  FUZZ_CHECK(body.size() <= kJudgeReplyMaxBytes);
  FUZZ_CHECK(!reading.view->origins.empty() || !reading.view->headers.empty());
  FUZZ_CHECK(reading.view->headers.size() <= kJudgeReplyMaxHeaders);
  for (const auto& [name, value] : reading.view->headers) FUZZ_CHECK(!name.empty());
  // Whoever the judge names as the origin is the user, when the user has that address.
  for (const std::string& origin : reading.view->origins) {
    if (const std::optional<std::string> own = CanonicalAddress(origin)) {
      FUZZ_CHECK(Classify(*reading.view, {*own}) == Anonymity::kTransparent);
    }
  }
  Classify(*reading.view, {"127.0.0.1", "::1"});
  return 0;
}
