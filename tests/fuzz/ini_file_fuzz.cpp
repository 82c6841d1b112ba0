// The settings-file text on arbitrary files and names: a written value reads back, writing again
// changes nothing, and the other keys keep their values.
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "settings/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::vector<std::string_view> fields = fuzz::Fields(data, size, 6);
  const std::string_view section = fields[0];
  const std::string_view key = fields[1];
  const std::string_view value = fields[2];
  const std::string_view other_key = fields[3];
  const std::string_view other_section = fields[4];
  const std::string_view text = fields[5];

  const std::optional<std::string> other_before = FindProfileValue(text, other_section, other_key);
  const std::optional<std::string> written = SetProfileValue(text, section, key, value);
  if (!written) return 0;
  FUZZ_CHECK(FindProfileValue(*written, section, key) == fuzz::ReadBackValue(value));
  FUZZ_CHECK(SetProfileValue(*written, section, key, value) == written);
  if (!FindProfileValue(*written, other_section, key)) {
    // other_section names another section (the key is not in it), so its key is untouched.
    FUZZ_CHECK(FindProfileValue(*written, other_section, other_key) == other_before);
  }
  return 0;
}
