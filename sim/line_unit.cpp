#include "line_unit.h"

#include <algorithm>

#include "hbus_unit.h"
#include "keyword_unit.h"

namespace heatsim {

std::chrono::nanoseconds LineTime(int rate, int bitsPerByte, std::int64_t bytes) {
  const std::int64_t bits = std::max<std::int64_t>(bytes, 0) * std::max(bitsPerByte, 1);
  return std::chrono::nanoseconds(bits * 1'000'000'000 / std::max(rate, 1));
}

std::unique_ptr<LineUnit> MakeLineUnit(const Scenario& scenario, LineUnit::Clock clock) {
  if (scenario.family == Family::kKeyword) {
    return std::make_unique<KeywordUnit>(scenario, std::move(clock));
  }
  return std::make_unique<HBusUnit>(scenario, std::move(clock));
}

}  // namespace heatsim
