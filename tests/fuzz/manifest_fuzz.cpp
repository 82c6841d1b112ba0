// The update manifest's field reader on arbitrary pages: no field without a "【" in the page, no
// field longer than its decoded page, and searches that stay inside the text.
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "update/manifest_page.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lumvex;
  const std::vector<std::string_view> fields = fuzz::Fields(data, size, 2);
  const std::string_view needle = fields[0];
  const std::string_view page_bytes = fields[1];

  const update::ManifestPage page{std::string(page_bytes)};
  const update::UpdateFields update = update::ReadUpdateFields(page);
  const update::RemoteSettings remote = update::ReadRemoteSettings(page);
  // A GBK byte decodes to at most three UTF-8 bytes.
  const std::size_t longest = 3 * page.bytes().size();
  for (const std::string* field :
       {&update.old_version, &update.new_version, &update.download_address, &remote.tray_caption,
        &remote.tray_address, &remote.about_address, &remote.picture_visible, &remote.links[0],
        &remote.links[1], &remote.links[2], &update.notes[0], &update.notes[8]}) {
    FUZZ_CHECK(field->size() <= longest);
    if (!page.IsManifest()) FUZZ_CHECK(field->empty());
  }

  const std::size_t at = update::FindGbkIgnoringCase(page_bytes, needle);
  if (at != std::string_view::npos) FUZZ_CHECK(at + needle.size() <= page_bytes.size());
  update::IsBlank(needle);
  return 0;
}
