// The fault memory: the fault list and its details on 3.x units, the three fault slots of 1.x
// units, and clearing.
#include <cstdio>
#include <string>

#include "drivers/catalogue/parameter.h"
#include "drivers/hbus/catalogue.h"
#include "drivers/hbus/conversions.h"
#include "drivers/hbus/decode.h"
#include "drivers/hbus/handlers.h"
#include "drivers/hbus/hbus_driver.h"

namespace heatdiag::hbus {
namespace {

constexpr std::uint8_t kFaults = 0x56;
constexpr std::uint8_t kReadFaultSlot = 0x50;
constexpr std::uint8_t kClearOld = 0x52;

// The rows of fault block k: heading (code), state, code text, counter, temperature,
// operating state, voltage, operating hours.
constexpr Row kFirstFaultRow = 76;
constexpr Row kRowsPerFault = 8;
constexpr std::size_t kOldFaultSlots = 3;

Row FaultRow(std::size_t block, Row offset) {
  return static_cast<Row>(kFirstFaultRow + kRowsPerFault * block + offset);
}

std::string CodeText(std::uint8_t code) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", code);
  return text;
}

}  // namespace

EntryResult HandleFaultList(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kFaults, result)) return result;
  const int length = reply.DataLength();
  const std::uint8_t count = reply.ByteAt(4);
  if (length < 2 || length != 2 * count + 2) return InvalidLength();
  DriverState& state = d.state;
  const std::size_t known = std::min<std::size_t>(count, kFaultSlots);
  state.faultCodes = {};
  for (std::size_t i = 0; i < known; ++i) state.faultCodes[i] = reply.ByteAt(5 + 2 * i);
  if (count != ReadUnsigned(75)) {
    for (std::size_t block = 0; block < kFaultSlots; ++block)
      SetPresentRange(FaultRow(block, 0), FaultRow(block, kRowsPerFault - 1), block < known);
    StoreUnsigned(75, count);
  }
  if (known > 0) {
    state.faultCursor = 0;
    state.faultsRemaining = static_cast<std::uint8_t>(known);
    d.link.Request(bit::kFaultDetails);
  } else {
    state.faultReadsCompleted.fetch_add(1);
  }
  return EntryResult::kDone;
}

std::size_t BuildFaultDetails(Driver& d, Work work, std::size_t length) {
  const DriverState& state = d.state;
  if (state.faultCursor >= kFaultSlots || length < 3) return 0;
  const std::uint8_t code = state.faultCodes[state.faultCursor];
  if (code == 0) return 0;
  work[2] = code;
  return length;
}

EntryResult HandleFaultDetails(Driver& d, const ReplyView& reply) {
  DriverState& state = d.state;
  if (!reply.Answers(kFaults)) {
    d.link.Request(bit::kFaultList);
    return EntryResult::kDone;
  }
  if (reply.DataLength() != 12) return InvalidLength();
  const std::size_t block = state.faultCursor;
  if (block < kFaultSlots) {
    const std::uint8_t code = reply.ByteAt(4);
    StoreUnsigned(FaultRow(block, 0), code);
    StoreUnsigned(FaultRow(block, 1), reply.ByteAt(5));
    StoreText(FaultRow(block, 2), CodeText(code));
    StoreUnsigned(FaultRow(block, 3), reply.ByteAt(6));
    StoreText(FaultRow(block, 5),
              StateText(HBusStateTable(d.Version()), reply.ByteAt(7), reply.ByteAt(8)));
    StoreSigned(FaultRow(block, 4), Celsius50(reply.ByteAt(9)));
    StoreReal(FaultRow(block, 6), Milli(reply.Word16At(10)));
    StoreHourMinute(FaultRow(block, 7), reply.Word16At(12), reply.ByteAt(14));
  }
  if (state.faultsRemaining > 0) --state.faultsRemaining;
  if (state.faultsRemaining > 0 && state.faultCursor + 1u < kFaultSlots) {
    ++state.faultCursor;
    d.link.Request(bit::kFaultDetails);
    return EntryResult::kRepeat;
  }
  state.faultReadsCompleted.fetch_add(1);
  return EntryResult::kDone;
}

EntryResult HandleClearFaults(Driver& d, const ReplyView& reply) {
  const EntryResult result = CheckAck(reply, kFaults);
  if (reply.Answers(kFaults)) {
    d.state.faultClearsConfirmed.fetch_add(1);
    d.link.Request(bit::kFaultList);
  }
  return result;
}

std::size_t BuildFaultSlot(Driver& d, Work work, std::size_t length) {
  if (length < 3) return 0;
  std::uint8_t& cursor = d.state.faultMemoryCursor;
  cursor = static_cast<std::uint8_t>(cursor % kOldFaultSlots + 1);
  work[2] = cursor;
  return length;
}

EntryResult HandleFaultSlot(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReadFaultSlot, result)) return result;
  if (reply.DataLength() != 6) return InvalidLength();
  const std::uint8_t slot = d.state.faultMemoryCursor;
  if (slot < 1 || slot > kOldFaultSlots) return EntryResult::kDone;
  const std::size_t block = slot - 1u;
  const std::uint8_t code = reply.ByteAt(4);
  if (code == 0 || code == 0xFF) {
    SetPresentRange(FaultRow(block, 0), FaultRow(block, kRowsPerFault - 1), false);
  } else {
    // These units report neither the voltage nor the operating hours of a fault.
    SetPresentRange(FaultRow(block, 0), FaultRow(block, 5), true);
    // Code 0x13 of these units is the fault that newer units report as 0x23.
    StoreUnsigned(FaultRow(block, 0), code == 0x13 ? 0x23u : code);
    StoreUnsigned(FaultRow(block, 1), (reply.ByteAt(5) >> 5) & 3u);
    StoreText(FaultRow(block, 2), CodeText(code));
    StoreUnsigned(FaultRow(block, 3), reply.ByteAt(6));
    StoreText(FaultRow(block, 5), StateText(HBusStateTable(d.Version()), reply.ByteAt(7), 0));
    StoreSigned(FaultRow(block, 4), OldTemperatureToCelsius(reply.ByteAt(8)));
  }
  unsigned present = 0;
  for (std::size_t k = 0; k < kOldFaultSlots; ++k)
    if (IsPresent(FaultRow(k, 0))) ++present;
  StoreUnsigned(75, present);
  if (slot < kOldFaultSlots) {
    d.link.Request(bit::kFaultList);
  } else {
    d.state.faultReadsCompleted.fetch_add(1);
  }
  return EntryResult::kDone;
}

EntryResult HandleClearFaultsOld(Driver& d, const ReplyView& reply) {
  const EntryResult result = CheckAck(reply, kClearOld);
  if (reply.Answers(kClearOld)) {
    d.state.faultClearsConfirmed.fetch_add(1);
    d.link.Request(bit::kFaultList);
  }
  return result;
}

}  // namespace heatdiag::hbus
