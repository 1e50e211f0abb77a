#include "shell/string_table.h"

namespace heatdiag {
namespace {

constexpr StringEntry kTexts[] = {
    {0, ""},  // the table starts at index 1
    {21001, "Error!"},
    {21002, "Attention!"},
};

}  // namespace

std::span<const StringEntry> ShellTexts() {
  return std::span(kTexts).subspan(1);
}

}  // namespace heatdiag
