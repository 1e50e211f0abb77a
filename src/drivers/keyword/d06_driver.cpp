#include "drivers/keyword/d06_driver.h"

#include <algorithm>
#include <cstring>

#include "drivers/diag_store.h"
#include "drivers/driver_functions.h"
#include "drivers/keyword/d06_rows.h"
#include "drivers/kit/store_rows.h"
#include "service/component_list.h"

namespace heatdiag::d06 {
namespace {

namespace r = rows;

// The component list positions 1..5 and the rows that name them.
constexpr kit::Row kComponentRows[kComponentPositions] = {
    r::kCirculatingPumpOn, r::kFanOn, r::kGlowPlugPercent, r::kFuelPumpHertz, r::kVehicleFanRelayOn,
};

// Number of fault blocks, answered for the "clear faults" function.
constexpr int kFaultSlots = static_cast<int>(r::kFaultBlocks);

template <std::size_t N>
void CopyText(std::array<char, N>& out, const std::string& text) {
  out.fill('\0');
  std::memcpy(out.data(), text.data(), std::min(text.size(), N - 1));
}

}  // namespace

std::uint16_t AccessKey(std::uint16_t seed) {
  const std::uint16_t mixed = seed ^ 0x2F6B;
  const auto rotated = static_cast<std::uint16_t>((mixed << 5) | (mixed >> 11));
  return static_cast<std::uint16_t>(rotated + 0x1357);
}

std::uint8_t FaultNumber(std::uint16_t code, std::uint8_t status) {
  const std::uint8_t bits = status & 0x0F;
  switch (code) {
    case 0x1000:
      return 1;
    case 0x1800:
      return 2;
    case 0x1801:
      return bits == 4 ? 131 : 3;
    case 0x1802:
      return bits == 2 ? 132 : 4;
    case 0x1803:
      return 5;
    case 0x1811:
      return 6;
    case 0x1813:
      return 7;
    case 0x1820:
      return bits == 1 ? 136 : 8;
    case 0x1821:
      return bits == 1 ? 137 : 9;
    case 0x1822:
      return bits == 1 ? 138 : 10;
    case 0x1823:
      return bits == 1 ? 139 : 11;
    case 0x1824:
      return 19;
    default:
      return 255;
  }
}

std::uint8_t ComponentBit(std::uint32_t position) {
  if (position < 1 || position > kComponentPositions) return 0;
  return static_cast<std::uint8_t>(1u << (position - 1));
}

void DriverState::Reset() {
  faultCodes = {};
  faultCount = 0;
  faultCursor = 0;
  faultsRemaining = 0;
  overheat = false;
  seed = 0;
  seedKnown = false;
  keywordError.store(false);
  wantedBits.store(0);
  wantedState.store(0);
  switchedOn = 0;
  co2Value.store(0);
  freeTelegramPending.store(false);
  stateLog.Reset();
}

WorkerState Driver::StateAfter(EntryResult result) {
  switch (result) {
    case EntryResult::kDatasetRead:
    case EntryResult::kDatasetWrite:
      return WorkerState::kRequests;
    case EntryResult::kLinkFault:
      return WorkerState::kLinkLost;
    case EntryResult::kDone:
    case EntryResult::kRepeat:
      break;
  }
  return WorkerState::kRequests;
}

int Driver::HasFaults() const {
  if (!StoreIsDataValid()) return 0;
  return kit::ReadUnsigned(r::kFaultCount) != 0 ? 1 : 0;
}

// Function numbers: 0 component test, 2 clear faults (answered with the number of fault
// blocks), 10 CO2 adjustment, 16 free telegram input. The unit has no operating modes,
// calibrations, EEPROM dataset or debug mode; its component test is the dialog form (18).
int Driver::IsFunctionAvailable(std::uint32_t function) const {
  if (!StoreIsDataValid()) return 0;
  switch (function) {
    case kFnComponentTest:
    case kFnCo2:
    case kFnFreeTelegram:
      return 1;
    case kFnClearFaults:
      return kFaultSlots;
    default:
      return 0;
  }
}

int Driver::GetComponentList(ComponentList* list) const {
  if (list == nullptr) return 0;
  *list = ComponentList{};
  if (!StoreIsDataValid()) return 0;
  for (std::uint32_t position = 1; position <= kComponentPositions; ++position) {
    const kit::Row row = kComponentRows[position - 1];
    if (kit::IsPresent(row)) CopyText(list->names[position], StoreGetName(row, NameForm::kLong));
  }
  // The telegram carries neither a set value nor a run time.
  return 1;
}

// Ready once the connection pass is complete; not known yet while it runs.
int Driver::RunOwnComponentTest() const {
  if (StoreRowCount() == 0) return 0;
  return StoreIsDataValid() ? 1 : -1;
}

int Driver::StartComponent(std::uint32_t component, std::uint32_t, std::uint32_t) {
  if (component > kComponentPositions || IsSessionActive() == 0) return 0;
  if (component == 0) {
    StopComponentTest();
    return 1;
  }
  state.wantedBits.store(ComponentBit(component));
  state.wantedState.store(1);
  Request(bit::kComponentTest);
  return 1;
}

void Driver::StopComponentTest() {
  state.wantedBits.store(kAllComponents);
  state.wantedState.store(0);
  Request(bit::kComponentTest);
}

void Driver::ClearFaults() {
  Request(bit::kClearFaults);
}

int Driver::SendFreeTelegram(const FreeTelegram* telegram) {
  if (telegram == nullptr || telegram->length == 0 || telegram->length > keyword::kMaxDataLength ||
      IsSessionActive() == 0)
    return 0;
  {
    std::lock_guard lock(state.freeTelegramLock);
    state.freeTelegram = *telegram;
  }
  state.freeTelegramPending.store(true);
  return 1;
}

// The unit takes any byte; its value is read at connection.
void Driver::GetCo2Range(std::uint8_t* lowest, std::uint8_t* highest, std::uint8_t* current) const {
  const bool known = StoreIsDataValid() && kit::IsPresent(r::kCo2Value);
  if (lowest != nullptr) *lowest = 0;
  if (highest != nullptr) *highest = known ? 255 : 0;
  if (current != nullptr)
    *current = known ? static_cast<std::uint8_t>(kit::ReadUnsigned(r::kCo2Value)) : 0;
}

Driver& TheDriver() {
  // Never destroyed: a link thread that outlived its bounded shutdown wait must not find its
  // driver gone.
  static Driver* const driver = new Driver();
  return *driver;
}

}  // namespace heatdiag::d06
