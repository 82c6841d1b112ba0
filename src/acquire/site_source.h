// A source that is a web site: the harvest's context and the site's server (host[:port], no
// scheme), which every site source works with.
#pragma once

#include <string>
#include <utility>

#include "acquire/harvest_context.h"
#include "acquire/source.h"

namespace lumvex {

class SiteSource : public Source {
 public:
  SiteSource(HarvestContext context, std::string host)
      : context_(context), host_(std::move(host)) {}

 protected:
  HarvestContext context_;
  const std::string host_;
};

}  // namespace lumvex
