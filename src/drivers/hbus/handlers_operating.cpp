// The cyclic operating data: inputs, component states, measured values, actuator levels,
// operating state, counters and the extended values of newer units.
#include <span>
#include <string>

#include "base/frame_sink.h"
#include "base/protocol.h"
#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/hbus/catalogue.h"
#include "drivers/hbus/conversions.h"
#include "drivers/hbus/decode.h"
#include "drivers/hbus/handlers.h"
#include "drivers/hbus/hbus_driver.h"
#include "drivers/hbus/texts.h"
#include "link/timing.h"

namespace heatdiag::hbus {
namespace {

constexpr std::uint8_t kReadValues = 0x50;
constexpr std::uint8_t kReadExtended = 0x60;

// An on/off value: one bit of a reply byte, decoded when the unit has the capability (and, with
// `unless` set, does not have that one).
struct BitField {
  Row row;
  std::uint8_t offset;
  std::uint8_t mask;
  CapabilityBit gate;
  CapabilityBit unless = {0, 0};
};

void DecodeBits(std::span<const BitField> fields, const ReplyView& reply, const HBusCode& code,
                std::size_t dataEnd) {
  for (const auto& field : fields) {
    if (field.offset >= dataEnd) continue;
    if (!HasCapability(code, field.gate)) continue;
    if (field.unless.mask != 0 && HasCapability(code, field.unless)) continue;
    StoreUnsigned(field.row, (reply.ByteAt(field.offset) & field.mask) != 0 ? 1u : 0u);
  }
}

// Index of the first byte after the data (the checksum).
std::size_t DataEnd(const ReplyView& reply) {
  return static_cast<std::size_t>(reply.DataLength()) + 3;
}

constexpr BitField kInputs[] = {
    {8, 4, 0x01, cap::kMainSwitch},      {9, 4, 0x10, cap::kSupplementalRequest},
    {10, 5, 0x01, cap::kSummer},         {11, 5, 0x10, cap::kPumpExternalControl},
    {12, 6, 0x01, cap::kEconomicMode},   {13, 6, 0x10, cap::kGeneratorSignal},
    {14, 7, 0x01, cap::kAuxiliaryDrive}, {16, 7, 0x10, cap::kBoost},
    {15, 8, 0x01, cap::kIgnitionInput},
};
constexpr BitField kInputsOld[] = {
    {8, 4, 0x01, cap::kAlways},
    {10, 4, 0x02, cap::kAlways},
};

constexpr BitField kComponents[] = {
    {17, 4, 0x01, cap::kCombustionAirFan},
    // The glow plug output drives a spark transmitter where the unit has one.
    {19, 4, 0x02, cap::kSparkTransmitter},
    {18, 4, 0x02, cap::kGlowPlug, cap::kSparkTransmitter},
    {20, 4, 0x04, cap::kFuelPump},
    {21, 4, 0x04, cap::kSolenoidValve},
    {22, 4, 0x08, cap::kCirculatingPump},
    {23, 4, 0x10, cap::kVehicleFanRelay},
    {25, 4, 0x20, cap::kNozzleStockHeating},
    {24, 4, 0x40, cap::kFlameIndicator},
};
constexpr BitField kComponentsOld[] = {
    {22, 4, 0x08, cap::kAlways}, {17, 4, 0x10, cap::kAlways}, {18, 4, 0x20, cap::kAlways},
    {20, 4, 0x40, cap::kAlways}, {32, 4, 0x80, cap::kAlways},
};

// One of two rows that show the same quantity in different units: the row the unit's format
// selects gets the value (or is hidden while the value is "not available"), the other is hidden.
void StoreSelected(Row selected, Row other, bool valid, std::uint32_t value) {
  Hide(other);
  SetPresent(selected, valid);
  if (valid) StoreUnsigned(selected, value);
}

// A signed 16-bit value in tenths.
struct TenthField {
  Row row;
  std::uint8_t offset;
};
constexpr TenthField kExtendedTemperatures[] = {
    {146, 4}, {147, 6}, {149, 8}, {148, 10}, {152, 12}, {150, 14}, {153, 16},
};

double SignedTenths(const ReplyView& reply, std::size_t at) {
  return static_cast<std::int16_t>(reply.Word16At(at)) * 0.1;
}

void LogStateChange(Driver& d, StateNameTable table, std::uint8_t code, std::uint8_t number) {
  DriverState& state = d.state;
  const std::uint8_t previousCode = state.previousStateCode.load();
  const bool previousKnown =
      previousCode < 0xFF && (d.Version() < kVersion30 || state.previousStateNumber < 0xFF);
  // The first state of a session only starts the clock of the next change.
  if (!previousKnown) {
    ProtocolResetStateTimer();
  } else {
    ProtocolStateChange(table, previousCode, state.previousStateNumber, code, number);
  }
  state.previousStateCode.store(code);
  state.previousStateNumber = number;
}

// Counter bytes of the operating state reply; 255 means "not available".
void StoreStateCounter(Row row, std::uint8_t value) {
  if (!IsPresent(row)) return;
  if (value == 0xFF) {
    Hide(row);
    return;
  }
  StoreUnsigned(row, value);
}

}  // namespace

EntryResult HandleInputs(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReadValues, result)) return result;
  const std::uint8_t version = d.Version();
  if (version >= kVersion30) {
    if (reply.DataLength() != (version >= kVersion32 ? 6 : 5)) return InvalidLength();
    DecodeBits(kInputs, reply, d.state.code, DataEnd(reply));
  } else {
    if (reply.DataLength() != 2) return InvalidLength();
    DecodeBits(kInputsOld, reply, d.state.code, DataEnd(reply));
  }
  return EntryResult::kDone;
}

EntryResult HandleComponentStates(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReadValues, result)) return result;
  if (reply.DataLength() != 2) return InvalidLength();
  if (d.Version() >= kVersion30)
    DecodeBits(kComponents, reply, d.state.code, DataEnd(reply));
  else
    DecodeBits(kComponentsOld, reply, d.state.code, DataEnd(reply));
  return EntryResult::kDone;
}

EntryResult HandleMeasuredValues(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReadValues, result)) return result;
  const std::uint8_t version = d.Version();
  const int length = reply.DataLength();
  if (version < kVersion30) {
    if (length != 4) return InvalidLength();
    StoreSigned(30, OldTemperatureToCelsius(reply.ByteAt(4)));
    StoreReal(31, Milli(OldVoltageToMilliVolt(reply.ByteAt(5))));
    StoreReal(33, Milli(OldResistanceToMilliOhm(reply.ByteAt(6))));
    return EntryResult::kDone;
  }
  const bool shortForm = version == kVersion30 && length == 8;
  if (!shortForm && length != 9) return InvalidLength();
  const HBusCode& code = d.state.code;
  StoreSigned(30, Celsius50(reply.ByteAt(4)));
  StoreReal(31, Milli(reply.Word16At(5)));
  StoreUnsigned(32, reply.ByteAt(7) & 0x01);
  if (HasCapability(code, cap::kHeatingEnergyWatt) && !shortForm) {
    const std::uint16_t watt = reply.Word16At(8);
    StoreSelected(34, 35, watt != 0xFFFF, watt);
  } else {
    const unsigned percent = reply.ByteAt(8) / 2u;
    StoreSelected(35, 34, percent < 127, percent);
  }
  if (HasCapability(code, cap::kGlowPlug)) StoreReal(33, Milli(reply.Word16At(shortForm ? 9 : 10)));
  return EntryResult::kDone;
}

EntryResult HandleActuatorLevels(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReadValues, result)) return result;
  const std::uint8_t version = d.Version();
  const int length = reply.DataLength();
  const bool v30 = version == kVersion30;
  if (length != 6 && !(v30 && (length == 5 || length == 4))) return InvalidLength();
  const bool shortForm = v30 && length == 4;
  const HBusCode& code = d.state.code;
  if (HasCapability(code, cap::kGlowPlug)) StoreUnsigned(3, reply.ByteAt(4) / 2u);
  if (HasCapability(code, cap::kFuelPump)) StoreReal(4, reply.ByteAt(5) * 0.05);
  if (HasCapability(code, cap::kCombustionAirFan)) {
    if (HasCapability(code, cap::kFanSpeedRpm) && !shortForm) {
      StoreUnsigned(6, reply.Word16At(6));
    } else if (HasCapability(code, cap::kFanSpeedRpm)) {
      // The short form carries the fan level in percent only.
      StoreSelected(5, 6, true, reply.ByteAt(6) / 2u);
    } else {
      StoreUnsigned(5, reply.ByteAt(6) / 2u);
    }
  }
  if (HasCapability(code, cap::kCirculatingPump) && version > kVersion30 && length >= 6)
    StoreUnsigned(7, reply.ByteAt(8) / 2u);
  return EntryResult::kDone;
}

EntryResult HandleOperatingState(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReadValues, result)) return result;
  const std::uint8_t version = d.Version();
  const int length = reply.DataLength();
  const StateNameTable table = HBusStateTable(version);
  std::uint8_t code = reply.ByteAt(4);
  std::uint8_t number = 0;
  std::uint8_t flags = 0;
  bool shortForm = false;
  if (version >= kVersion30) {
    shortForm = version == kVersion30 && length == 6;
    if (!shortForm && length != 7) return InvalidLength();
    number = reply.ByteAt(5);
    flags = reply.ByteAt(6);
  } else {
    if (length != 5) return InvalidLength();
    flags = reply.ByteAt(5);
  }
  StoreText(52, StateText(table, code, number));
  if (d.state.debug.load() == nullptr) LogStateChange(d, table, code, number);

  StatusFlags status;
  status.fault = (flags & 0x01) != 0;
  status.overheat = (flags & 0x02) != 0;
  status.leanStart = (flags & 0x04) != 0;
  status.sleep = (flags & 0x08) != 0;
  StoreUnsigned(53, status.fault ? 1u : 0u);
  StoreUnsigned(54, status.overheat ? 1u : 0u);
  StoreUnsigned(55, status.leanStart ? 1u : 0u);
  StoreUnsigned(56, status.sleep ? 1u : 0u);

  if (version >= kVersion30) {
    StoreStateCounter(57, reply.ByteAt(7));
    if (shortForm)
      Hide(58);
    else
      StoreStateCounter(58, reply.ByteAt(8));
    StoreStateCounter(59, reply.ByteAt(shortForm ? 8 : 9));
  } else {
    const std::uint8_t faultCounters = reply.ByteAt(6);
    if (IsPresent(57)) StoreUnsigned(57, faultCounters >> 4);
    if (IsPresent(58)) StoreUnsigned(58, faultCounters & 0x0F);
    if (IsPresent(59)) StoreUnsigned(59, reply.ByteAt(7));
  }
  StoreText(143, DeviceStateText(ReadUnsigned(75), status));
  return EntryResult::kDone;
}

EntryResult HandleCounters(Driver&, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReadValues, result)) return result;
  if (reply.DataLength() != 9) return InvalidLength();
  StoreHourMinute(36, reply.Word16At(4), reply.ByteAt(6));
  StoreHourMinute(37, reply.Word16At(7), reply.ByteAt(9));
  StoreCounter16(38, reply.Word16At(10));
  return EntryResult::kDone;
}

EntryResult HandleBurningDurations(Driver& d, const ReplyView& reply) {
  if (!HasCapability(d.state.code, cap::kBurningDurations)) return EntryResult::kDone;
  if (!reply.Answers(kReadValues) || reply.DataLength() != 25) {
    SetPresentRange(39, 46, false);
    return EntryResult::kDone;
  }
  for (Row i = 0; i < 8; ++i) {
    const std::size_t at = 4 + 3u * i;
    StoreHourMinute(static_cast<Row>(39 + i), reply.Word16At(at), reply.ByteAt(at + 2));
  }
  return EntryResult::kDone;
}

EntryResult HandleWorkingDurations(Driver&, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReadValues, result)) return result;
  if (reply.DataLength() != 7) return InvalidLength();
  StoreHourMinute(47, reply.Word16At(4), reply.ByteAt(6));
  StoreHourMinute(48, reply.Word16At(7), reply.ByteAt(9));
  return EntryResult::kDone;
}

EntryResult HandleStartCounters(Driver&, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReadValues, result)) return result;
  if (reply.DataLength() != 7) return InvalidLength();
  StoreCounter16(49, reply.Word16At(4));
  StoreCounter16(50, reply.Word16At(6));
  StoreCounter16(51, reply.Word16At(8));
  return EntryResult::kDone;
}

std::size_t BuildGlowPlugResistance(Driver& d, Work, std::size_t length) {
  return d.state.glowPlugResistanceWanted ? length : 0;
}

EntryResult HandleGlowPlugResistance(Driver& d, const ReplyView& reply) {
  if (!reply.Answers(kReadExtended) || reply.DataLength() != 3) {
    Hide(156);
    d.state.glowPlugResistanceWanted = false;
    return EntryResult::kDone;
  }
  StoreReal(156, Milli(reply.Word16At(4)));
  return EntryResult::kDone;
}

std::size_t BuildExtendedTemperatures(Driver& d, Work, std::size_t length) {
  return d.state.extendedTemperaturesWanted ? length : 0;
}

EntryResult HandleExtendedTemperatures(Driver& d, const ReplyView& reply) {
  const int length = reply.DataLength();
  if (!reply.Answers(kReadExtended) || length < 19) {
    SetPresentRange(146, 155, false);
    d.state.extendedTemperaturesWanted = false;
    return EntryResult::kDone;
  }
  for (const auto& field : kExtendedTemperatures)
    StoreReal(field.row, SignedTenths(reply, field.offset));
  StoreUnsigned(155, reply.ByteAt(20));
  StoreUnsigned(154, reply.ByteAt(21));
  const bool boardGradient = length >= 21;
  SetPresent(151, boardGradient);
  if (boardGradient) StoreReal(151, SignedTenths(reply, 22));
  return EntryResult::kDone;
}

}  // namespace heatdiag::hbus
