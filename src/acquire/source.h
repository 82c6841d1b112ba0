// One proxy-list site as the harvester sees it: the choices it offers (categories, databases and
// their list pages), and a harvest of one choice into a sink, with the pacing between its pages
// inside. Every source is registered once in source_registry.cpp.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "acquire/harvest_sink.h"

namespace lumvex {

// One entry a source offers: its text as shown, a number (source A's category id) and an
// address (source B's database or list page).
struct HarvestChoice {
  std::string text;
  int data = 0;
  std::string address;
};

// The second level under a choice (source B's list pages of a database): titles and addresses,
// found independently on the page, so their counts may differ.
struct ChoicePages {
  std::vector<std::string> titles;
  std::vector<std::string> addresses;
};

// What to harvest: the choice, the requested number as typed and the number of pages fetched at
// once (the checks at once of the settings; less than 1 counts as 1). A source uses what applies
// to it.
struct HarvestOrder {
  HarvestChoice choice;
  // Read when the pages are planned and again after every page, so a number changed while the
  // harvest runs counts for its end.
  std::function<std::string()> count_text = [] { return std::string(); };
  int workers = 0;
};

class Source {
 public:
  virtual ~Source() = default;

  // The choices of the source, blocking (never on the UI thread). Empty when the source answered
  // with none or could not be reached; nullopt when it gave up (attempts used up) or the program
  // is ending. A source with nothing to choose offers one empty choice.
  virtual std::optional<std::vector<HarvestChoice>> LoadChoices() {
    return std::vector<HarvestChoice>{HarvestChoice{}};
  }

  // The list pages under a choice's address, blocking; nullopt when the program is ending.
  // Sources with one level have none.
  virtual std::optional<ChoicePages> LoadPages(const std::string& /*address*/) {
    return ChoicePages{};
  }

  // Starts a harvest and returns at once; rows, progress and the end go to `sink`.
  virtual void Start(HarvestOrder order, std::shared_ptr<HarvestSink> sink) = 0;
};

}  // namespace lumvex
