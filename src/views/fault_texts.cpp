#include "views/fault_texts.h"

#include "base/string_table.h"

namespace heatdiag {
namespace {

constexpr const char* kUnknown = "?";

std::string Lookup(std::uint32_t base, std::int64_t number, std::int64_t max,
                   std::size_t maxChars = 1023) {
  if (number < 0 || number > max) return kUnknown;
  const std::uint32_t id = base + static_cast<std::uint32_t>(number);
  if (FindString(id) == nullptr) return kUnknown;
  return LoadString(id, maxChars);
}

}  // namespace

std::string FaultShortText(std::int64_t code) {
  return Lookup(kFaultShortTextBase, code, kFaultCodeMax);
}

std::string FaultDescription(std::int64_t code) {
  return Lookup(kFaultDescriptionBase, code, kFaultCodeMax, kFaultDescriptionMaxChars);
}

std::string FaultStateText(std::int64_t state) {
  return Lookup(kFaultStateTextBase, state, kFaultStateMax);
}

}  // namespace heatdiag
