// The judge's reading of a request head, from arbitrary bytes to the answers it writes: the head
// is found at the same place however the bytes arrive, the JSON echo is valid UTF-8 without raw
// control characters, the text echo has one line per field, and the log's target stays short.
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "judge/echo_reply.h"
#include "judge/head_scanner.h"
#include "judge/json_text.h"
#include "judge/request_head.h"
#include "judge/request_log.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex::judge;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  HeadScanner whole;
  const std::optional<std::size_t> end = whole.Scan(bytes);
  HeadScanner split;  // the same bytes in two reads, cut where the first byte says
  const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
  std::optional<std::size_t> split_end = split.Scan(bytes.substr(0, cut));
  if (!split_end) split_end = split.Scan(bytes);
  FUZZ_CHECK(split_end == end);
  if (!end) return 0;
  FUZZ_CHECK(*end <= size && bytes[*end - 1] == '\n');

  std::string why;
  const std::optional<RequestHead> head = ParseRequestHead(bytes.substr(0, *end), &why);
  if (!head) {
    FUZZ_CHECK(!why.empty());
    return 0;
  }
  FUZZ_CHECK(ParseRequestLine(head->method + " " + head->target + " " + head->version));
  const std::string json = EchoJson(*head, "192.0.2.1");
  for (std::size_t i = 0; i < json.size();) {
    const std::size_t length = Utf8SequenceLength(json, i);
    FUZZ_CHECK(length > 0);
    FUZZ_CHECK(static_cast<unsigned char>(json[i]) >= 0x20 || json[i] == '\n');
    i += length;
  }
  const std::string text = EchoText(*head, "192.0.2.1");
  std::size_t lines = 0;
  for (const char c : text) lines += c == '\n';
  FUZZ_CHECK(lines == head->fields.size() + 1);
  ChosenFormat(*head);
  FUZZ_CHECK(EscapedCut(head->target, 200).size() <= 200);
  return 0;
}
