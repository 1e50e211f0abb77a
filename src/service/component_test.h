// The component test in its dialog form: the driver's component list, its readiness answer and
// the start request built from what the user typed. The dialog and heatdiag-cli share it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "service/component_list.h"

namespace heatdiag::service {

// RunOwnComponentTest of a driver with the dialog form: > 0 ready, 0 not possible now,
// < 0 not known yet (ask again later).
enum class Readiness { kReady, kNotPossible, kUnknown };
Readiness ReadinessOf(int answer);

// The run time goes to the unit in one byte.
inline constexpr std::uint32_t kMaxComponentRunTime = 255;

// Entry 0 ("all off") always exists; 1..15 when their name is not empty.
bool ComponentExists(const ComponentList& list, std::size_t index);
// The name up to its first line feed; entry 0 is "all off".
std::string ComponentName(const ComponentList& list, std::size_t index);
std::string ComponentUnit(const ComponentList& list, std::size_t index);
// The entry takes a set value: set values are available and it has a unit.
bool TakesSetValue(const ComponentList& list, std::size_t index);

// The index of a component given as its number (0..15) or its name (case and blanks, hyphens
// and underscores ignored; a unique beginning is enough). "off" and "all-off" give 0.
std::optional<std::size_t> FindComponent(const ComponentList& list, std::string_view text);

struct ComponentRequest {
  std::uint32_t index = 0;
  std::uint32_t value = 0;  // scaled by the decimals, then divided by the divisor
  std::uint32_t runTime = 0;
};

enum class ComponentInput {
  kOk,
  kNoSuchComponent,
  kSetValueMissing,  // "Please enter a set value"
  kRunTimeMissing,   // "Please enter the run time"
};

struct PreparedStart {
  ComponentInput input = ComponentInput::kOk;
  ComponentRequest request;
};

// What "&Start" sends for the selected entry and the texts of the set value and run time edits.
// A component without a set value starts with 0; "all off" sends 0, 0, 0.
PreparedStart PrepareComponentStart(const ComponentList& list, std::size_t index,
                                    std::string_view setValue, std::string_view runTime);

// The string id of the message for an input error (0 for kOk).
std::uint32_t MessageOf(ComponentInput input);

}  // namespace heatdiag::service
