#include "shell/string_table.h"

namespace heatdiag {
namespace {

constexpr StringEntry kTexts[] = {
    {0, ""},  // placeholder until the area has texts of its own
};

}  // namespace

std::span<const StringEntry> CatalogueTexts() { return std::span(kTexts).subspan(1); }

}  // namespace heatdiag
