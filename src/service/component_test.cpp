#include "service/component_test.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/string_table.h"
#include "service/decimal_entry.h"
#include "service/service_texts.h"

namespace heatdiag::service {
namespace {

template <std::size_t N>
std::string TextOf(const std::array<char, N>& field) {
  const std::size_t length = ::strnlen(field.data(), N);
  std::string text(field.data(), length);
  return text.substr(0, text.find('\n'));
}

// Lower case without blanks, hyphens and underscores: "Fuel pump" and "fuel-pump" agree.
std::string Folded(std::string_view text) {
  std::string folded;
  for (const char c : text) {
    if (c == ' ' || c == '-' || c == '_' || c == '\t') continue;
    folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return folded;
}

}  // namespace

Readiness ReadinessOf(int answer) {
  if (answer > 0) return Readiness::kReady;
  return answer == 0 ? Readiness::kNotPossible : Readiness::kUnknown;
}

bool ComponentExists(const ComponentList& list, std::size_t index) {
  if (index == 0) return true;
  return index < kComponentEntries && list.names[index][0] != '\0';
}

std::string ComponentName(const ComponentList& list, std::size_t index) {
  if (index == 0) return LoadString(kTextAllOff);
  if (index >= kComponentEntries) return {};
  return TextOf(list.names[index]);
}

std::string ComponentUnit(const ComponentList& list, std::size_t index) {
  if (index == 0 || index >= kComponentEntries) return {};
  return TextOf(list.units[index]);
}

bool TakesSetValue(const ComponentList& list, std::size_t index) {
  return list.setValueAvailable != 0 && ComponentExists(list, index) &&
         !ComponentUnit(list, index).empty();
}

std::optional<std::size_t> FindComponent(const ComponentList& list, std::string_view text) {
  const std::optional<std::uint64_t> number = ParseWholeNumber(text);
  if (number && text.find_first_not_of("0123456789 \t") == std::string_view::npos) {
    if (*number < kComponentEntries && ComponentExists(list, *number))
      return static_cast<std::size_t>(*number);
    return std::nullopt;
  }
  const std::string wanted = Folded(text);
  if (wanted.empty()) return std::nullopt;
  if (wanted == "off" || wanted == Folded(ComponentName(list, 0))) return 0;
  std::optional<std::size_t> prefixMatch;
  int prefixMatches = 0;
  for (std::size_t i = 1; i < kComponentEntries; ++i) {
    if (!ComponentExists(list, i)) continue;
    const std::string name = Folded(ComponentName(list, i));
    if (name == wanted) return i;
    if (name.rfind(wanted, 0) == 0) {
      prefixMatch = i;
      ++prefixMatches;
    }
  }
  return prefixMatches == 1 ? prefixMatch : std::nullopt;
}

PreparedStart PrepareComponentStart(const ComponentList& list, std::size_t index,
                                    std::string_view setValue, std::string_view runTime) {
  PreparedStart prepared;
  if (index >= kComponentEntries || !ComponentExists(list, index)) {
    prepared.input = ComponentInput::kNoSuchComponent;
    return prepared;
  }
  if (index == 0) return prepared;
  prepared.request.index = static_cast<std::uint32_t>(index);
  if (TakesSetValue(list, index)) {
    const std::optional<std::uint64_t> value = ParseFixedPoint(setValue, list.decimals[index]);
    if (!value) {
      prepared.input = ComponentInput::kSetValueMissing;
      return prepared;
    }
    std::uint64_t scaled = *value;
    if (list.divisors[index] > 1) scaled /= list.divisors[index];
    prepared.request.value =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(scaled, 0xFFFFFFFFu));
  }
  if (list.runTimeAvailable != 0) {
    const std::uint64_t seconds = ParseWholeNumber(runTime).value_or(0);
    if (seconds == 0) {
      prepared.input = ComponentInput::kRunTimeMissing;
      return prepared;
    }
    prepared.request.runTime =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(seconds, 0xFFFFFFFFu));
  }
  return prepared;
}

std::uint32_t MessageOf(ComponentInput input) {
  switch (input) {
    case ComponentInput::kSetValueMissing:
      return kTextEnterSetValue;
    case ComponentInput::kRunTimeMissing:
      return kTextEnterRunTime;
    case ComponentInput::kOk:
    case ComponentInput::kNoSuchComponent:
      break;
  }
  return 0;
}

}  // namespace heatdiag::service
