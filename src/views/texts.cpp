#include "shell/string_table.h"

namespace heatdiag {
namespace {

constexpr StringEntry kTexts[] = {
    {0, ""},  // the table starts at index 1
    {20000, "Parameter"},
    {20001, "Value"},
    {20002, "Unit"},
    {23008, "no data available"},
};

}  // namespace

std::span<const StringEntry> ViewTexts() {
  return std::span(kTexts).subspan(1);
}

}  // namespace heatdiag
