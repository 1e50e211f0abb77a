// Building blocks of the catalogue tables: the row shapes that recur across the drivers and a
// compile-time builder that checks each table's row count.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "drivers/catalogue/name_ids.h"
#include "drivers/catalogue/parameter.h"

namespace heatdiag::rows {

constexpr ParameterDescriptor WithView(ParameterDescriptor row, std::uint32_t viewMask) {
  row.viewMask = viewMask;
  return row;
}

// A component or input that is either off or on.
constexpr ParameterDescriptor OnOff(std::uint32_t name, std::uint32_t view) {
  return {ValueKind::kUnsigned, 4, "0", "1", "1", name, kUnitNone, view};
}

// An actuator level in percent.
constexpr ParameterDescriptor Percent(std::uint32_t name, std::uint32_t view = 0x5004) {
  return {ValueKind::kUnsigned, 4, "0", "100", "1", name, kUnitPercent, view};
}

// The fuel pump's stroke frequency.
constexpr ParameterDescriptor PumpFrequency(std::uint32_t name) {
  return {ValueKind::kReal, 8, "0", "5", "0.001", name, kUnitHertz, 0x5004};
}

constexpr ParameterDescriptor Volts(std::uint32_t name, std::uint32_t view) {
  return {ValueKind::kReal, 8, "0", "20", "0.01", name, kUnitVolt, view};
}

constexpr ParameterDescriptor Celsius(std::uint32_t name, std::uint32_t view) {
  return {ValueKind::kSigned, 4, "-40", "120", "1", name, kUnitCelsius, view};
}

// Flame detector or glow plug resistance.
constexpr ParameterDescriptor Ohms(std::uint32_t name, std::uint32_t view) {
  return {ValueKind::kReal, 8, "0", "2", "0.001", name, kUnitOhm, view};
}

// A raw byte value.
constexpr ParameterDescriptor Byte(std::uint32_t name, std::uint32_t view) {
  return {ValueKind::kUnsigned, 4, "0", "255", "1", name, kUnitNone, view};
}

// A counter without display range (the range grows with the values).
constexpr ParameterDescriptor Count(std::uint32_t name, std::uint32_t view,
                                    std::uint32_t unit = kUnitNone) {
  return {ValueKind::kUnsigned, 4, "", "", "", name, unit, view};
}

constexpr ParameterDescriptor Text(std::uint32_t name, std::uint32_t size, std::uint32_t view,
                                   std::uint32_t unit = kUnitNone) {
  return {ValueKind::kText, size, "", "", "", name, unit, view};
}

// Identification and date rows of the device information view and the report.
constexpr ParameterDescriptor Ident(std::uint32_t name, std::uint32_t size = 20,
                                    std::uint32_t unit = kUnitNone) {
  return Text(name, size, kViewDeviceInfo | kViewReport, unit);
}

// Hour:minute counters of the operating data view and the report.
constexpr ParameterDescriptor HoursMinutes(std::uint32_t name) {
  return Text(name, 20, kViewOperatingData | kViewReport, kUnitHourMinute);
}

constexpr ParameterDescriptor OperatingState() {
  return Text(kNameOperatingStateOs, 80, kViewLog | kViewStates);
}
constexpr ParameterDescriptor DeviceState() {
  return Text(kNameDeviceState, 80, kViewLog | kViewReport | kViewStates);
}
constexpr ParameterDescriptor FaultCount() {
  return Count(kNameFaultCount, kViewFaultCount);
}

// Detail rows of a fault block (the builder adds the slot bits).
constexpr ParameterDescriptor FaultCode() {
  return Text(kNameCode, 10, kViewFaultDetail);
}
constexpr ParameterDescriptor FaultStateRow() {
  return Count(kNameFaultState, kViewFaultState);
}
constexpr ParameterDescriptor FaultCounter() {
  return Count(kNameCounter, kViewFaultDetail);
}
constexpr ParameterDescriptor FaultTemperature() {
  return Celsius(kNameFaultTemperature, kViewFaultDetail);
}
constexpr ParameterDescriptor FaultOperatingState() {
  return Text(kNameFaultOperatingState, 80, kViewFaultDetail);
}
constexpr ParameterDescriptor FaultVoltage() {
  return Volts(kNameVoltage, kViewFaultDetail);
}

static_assert(kNameFault9 == kNameFault1 + 8, "fault heading names must be consecutive");
inline constexpr std::uint32_t kMaxFaultBlocks = 9;

// A catalogue of exactly N rows, filled in order at compile time; `Complete()` is checked by a
// static_assert beside each table so that a miscounted table does not build.
template <std::size_t N>
struct CatalogueTable {
  std::array<ParameterDescriptor, N> rows{};
  std::size_t count = 0;

  constexpr void Add(const ParameterDescriptor& row) {
    if (count < N) rows[count] = row;
    ++count;
  }
  constexpr void Add(std::initializer_list<ParameterDescriptor> list) {
    for (const auto& row : list) Add(row);
  }
  // Blocks 1..blocks: a "Fault k" heading row (its value is the fault code) followed by the
  // detail rows, every row of block k carrying fault slot k-1.
  constexpr void AddFaultBlocks(std::uint32_t blocks,
                                std::initializer_list<ParameterDescriptor> details) {
    for (std::uint32_t slot = 0; slot < blocks && slot < kMaxFaultBlocks; ++slot) {
      Add(Count(kNameFault1 + slot, kViewFaultHeading | FaultSlotBits(slot)));
      for (const auto& row : details) {
        Add(WithView(row, row.viewMask | FaultSlotBits(slot)));
      }
    }
  }
  constexpr bool Complete() const { return count == N; }
};

// An operating-state table of exactly N records.
template <std::size_t N>
struct StateTable {
  std::array<StateNameEntry, N> entries{};
  std::size_t count = 0;

  constexpr void Add(std::uint8_t code, std::uint32_t textId, std::uint8_t shownNumber = 0) {
    if (count < N) entries[count] = {code, shownNumber, textId};
    ++count;
  }
  // Consecutive codes from `first`, one per step number, all with the same text.
  constexpr void AddSteps(std::uint8_t first, std::uint32_t textId,
                          std::initializer_list<std::uint8_t> steps) {
    std::uint8_t code = first;
    for (std::uint8_t step : steps) Add(code++, textId, step);
  }
  // Consecutive codes from `first`, one per text, without step numbers.
  constexpr void AddRun(std::uint8_t first, std::initializer_list<std::uint32_t> textIds) {
    std::uint8_t code = first;
    for (std::uint32_t id : textIds) Add(code++, id);
  }
  constexpr bool Complete() const { return count == N; }
};

}  // namespace heatdiag::rows
