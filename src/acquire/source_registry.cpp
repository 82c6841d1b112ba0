#include "acquire/source_registry.h"

#include "acquire/source_a.h"
#include "acquire/source_b.h"
#include "acquire/source_c.h"

namespace lumvex {
namespace {

constexpr std::string_view kHarvestRunning = "正在获取代理IP....";

template <typename Site>
std::unique_ptr<Source> Make(const HarvestContext& context, std::string host) {
  return std::make_unique<Site>(context, std::move(host));
}

}  // namespace

const std::vector<SourceInfo>& RegisteredSources() {
  static const std::vector<SourceInfo> sources = {
      {"a", "source A", kHarvestRunning, "proxy-a.example.com", &Make<SourceASite>},
      {"b", "source B", kHarvestRunning, "proxy-b.example.com", &Make<SourceBSite>},
      {"c", "source C", source_c::kStatusRunning, "proxy-c.example.com", &Make<SourceCSite>},
  };
  return sources;
}

const SourceInfo* FindSource(std::string_view name) {
  for (const SourceInfo& info : RegisteredSources()) {
    if (info.name == name) return &info;
  }
  return nullptr;
}

}  // namespace lumvex
