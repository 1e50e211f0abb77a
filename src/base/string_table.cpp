#include "base/string_table.h"

#include <algorithm>
#include <array>
#include <vector>

namespace heatdiag {
namespace {

struct Index {
  std::vector<StringEntry> entries;
  std::vector<std::uint32_t> duplicates;
};

const Index& TheIndex() {
  static const Index index = [] {
    Index built;
    const std::array areas = {LinkTexts(),  DriverTexts(), CatalogueTexts(), HBusTexts(),
                              ShellTexts(), ViewTexts(),   DatasetTexts(),   ServiceTexts(),
                              DebugTexts(), ReportTexts(), FaultTexts()};
    for (const auto& area : areas)
      built.entries.insert(built.entries.end(), area.begin(), area.end());
    std::stable_sort(built.entries.begin(), built.entries.end(),
                     [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; });
    for (std::size_t i = 1; i < built.entries.size(); ++i) {
      if (built.entries[i].id == built.entries[i - 1].id &&
          (built.duplicates.empty() || built.duplicates.back() != built.entries[i].id)) {
        built.duplicates.push_back(built.entries[i].id);
      }
    }
    return built;
  }();
  return index;
}

}  // namespace

const char* FindString(std::uint32_t id) {
  const auto& entries = TheIndex().entries;
  auto it = std::lower_bound(entries.begin(), entries.end(), id,
                             [](const StringEntry& e, std::uint32_t key) { return e.id < key; });
  if (it == entries.end() || it->id != id) return nullptr;
  return it->text;
}

std::string LoadString(std::uint32_t id, std::size_t maxChars) {
  const char* text = FindString(id);
  if (text == nullptr) return {};
  std::string_view view(text);
  return std::string(view.substr(0, maxChars));
}

std::span<const std::uint32_t> DuplicateStringIds() {
  return TheIndex().duplicates;
}

}  // namespace heatdiag
