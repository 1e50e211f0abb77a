// D06's handlers: the unit's answers decoded into its catalogue rows.
#include "drivers/keyword/d06_handlers.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/string_table.h"
#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/keyword/d06_rows.h"
#include "drivers/kit/decode_table.h"
#include "drivers/kit/store_rows.h"

namespace heatdiag::d06 {
namespace {

using keyword::Accept;
using keyword::AcceptAtLeast;
using kit::Conversion;
namespace r = rows;

// Service bytes of the requests.
constexpr std::uint8_t kStartCommunication = 0x81;
constexpr std::uint8_t kReadIdentification = 0x1A;
constexpr std::uint8_t kStartSession = 0x10;
constexpr std::uint8_t kSecurityAccess = 0x27;
constexpr std::uint8_t kReadLocal = 0x21;
constexpr std::uint8_t kReadFaultsByStatus = 0x18;
constexpr std::uint8_t kReadFaultStatus = 0x17;
constexpr std::uint8_t kClearFaultMemory = 0x14;
constexpr std::uint8_t kIoControl = 0x30;
constexpr std::uint8_t kWriteLocal = 0x3B;

// The only answer the routine request accepts: 71 31 23.
constexpr std::uint8_t kRoutineAnswer[] = {0x71, 0x31, 0x23};

// Operating data 21 81: temperature, flame detector, supply voltage, voltage threshold.
constexpr kit::Field kMeasuredValues[] = {
    kit::Converted(6, Conversion::kOldTemperature, r::kTemperature),
    kit::Converted(7, Conversion::kOldResistance, r::kFlameDetector),
    kit::Converted(8, Conversion::kOldVoltage, r::kSupplyVoltage),
    kit::Converted(9, Conversion::kOldVoltage, r::kMinVoltageThreshold),
};

// Operating data 21 82: actuator levels, components, inputs and flags.
constexpr kit::Field kActuators[] = {
    kit::Converted(6, Conversion::kPercentOf255, r::kFanPercent),
    kit::Byte(7, r::kGlowPlugPercent),
    kit::Converted(9, Conversion::kPerRaw, r::kFuelPumpHertz, 100.0),
    kit::Bit(10, 0x01, r::kFanOn),
    kit::Bit(10, 0x02, r::kGlowPlugOn),
    kit::Bit(10, 0x04, r::kCirculatingPumpOn),
    kit::Bit(10, 0x08, r::kFuelPumpOn),
    kit::Bit(10, 0x10, r::kVehicleFanRelayOn),
    kit::Bit(11, 0x01, r::kSummer),
    kit::Bit(11, 0x04, r::kMainSwitch),
    kit::Bit(11, 0x08, r::kSupplementalRequest),
    kit::Bit(11, 0x20, r::kFlameDetected),
    kit::Bit(11, 0x40, r::kOverheatFlag),
};
constexpr std::uint8_t kGasolineBit = 0x02;  // b11

// One fault's environment (17 hh ll), rows relative to its block.
constexpr kit::Field kFaultEnvironment[] = {
    kit::Byte(8, r::fault::kCounter),
    kit::Converted(9, Conversion::kOldTemperature, r::fault::kTemperature),
    kit::Byte(10, r::fault::kFlameDetector),
    kit::Converted(11, Conversion::kOldVoltage, r::fault::kVoltage),
    kit::Byte(12, r::fault::kFuelPump),
    kit::Byte(13, r::fault::kCombustionAirFan),
    kit::Byte(14, r::fault::kGlowPlug),
};

// `count` characters from reply byte `first`; a 0 byte becomes a blank.
std::string Characters(const ReplyView& reply, std::size_t first, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    const auto c = static_cast<char>(reply.ByteAt(first + i));
    text += c == '\0' ? ' ' : c;
  }
  return text;
}

// The same without trailing blanks (identification numbers padded by the unit).
std::string TrimmedCharacters(const ReplyView& reply, std::size_t first, std::size_t count) {
  std::string text = Characters(reply, first, count);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

void StoreDeviceState(const DriverState& state) {
  StatusFlags flags;
  flags.overheat = state.overheat;
  kit::StoreText(r::kDeviceState, DeviceStateText(state.faultCount, flags));
}

// An identification answer 5A ii ... with n data bytes.
bool AcceptIdentification(Driver& d, const ReplyView& reply, int n, EntryResult& result) {
  return Accept(reply, kReadIdentification, n, result, d.Messages());
}

}  // namespace

// --- Connection --------------------------------------------------------------------------------

EntryResult HandleStartCommunication(Driver& d, const ReplyView& reply) {
  const keyword::Report messages = d.Messages();
  EntryResult result{};
  const bool accepted = Accept(reply, kStartCommunication, 3, result, messages);
  const bool wrongKey =
      accepted && (reply.ByteAt(4) != kKeyBytes[0] || reply.ByteAt(5) != kKeyBytes[1]);
  if (wrongKey) {
    d.state.keywordError.store(true);
    result = keyword::InvalidKeyword(messages);
  }
  if (!accepted || wrongKey) {
    if (d.ProbeMode()) {
      d.facts.SetProbeFailed(true);
    } else if (reply.Answers(kStartCommunication)) {
      // A unit of another family has answered: retrying the wake-up would not help.
      d.facts.SetAnswered();
    }
    return result;
  }
  d.facts.SetAnswered();
  d.facts.SetIdentified(true);
  // The fault handlers make the blocks present again for the faults the unit reports.
  kit::Hide(r::kFaultRows);
  for (const kit::Row row : r::kNotDelivered) kit::Hide(row);
  return EntryResult::kDone;
}

EntryResult HandleCustomerId(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!AcceptIdentification(d, reply, 23, result)) return result;
  char fields[48];
  std::snprintf(fields, sizeof fields, "/%02X/%02X/%02X/%02X%02X/%02X%02X%02X%02X/%02X/%02X/%02X",
                reply.ByteAt(14), reply.ByteAt(15), reply.ByteAt(16), reply.ByteAt(17),
                reply.ByteAt(18), reply.ByteAt(19), reply.ByteAt(20), reply.ByteAt(21),
                reply.ByteAt(22), reply.ByteAt(23), reply.ByteAt(24), reply.ByteAt(25));
  kit::StoreText(r::kCustomerId, Characters(reply, 5, 9) + fields);
  return EntryResult::kDone;
}

// 11 characters b5..b15; the byte after them is the checksum.
EntryResult HandleDeviceId(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!AcceptIdentification(d, reply, 13, result)) return result;
  kit::StoreText(r::kDeviceId, TrimmedCharacters(reply, 5, 11));
  return EntryResult::kDone;
}

EntryResult HandleHwVersion(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!AcceptIdentification(d, reply, 3, result)) return result;
  kit::StoreText(r::kHwVersion, std::to_string(reply.ByteAt(5)));
  return EntryResult::kDone;
}

EntryResult HandleDatasetId(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!AcceptIdentification(d, reply, 13, result)) return result;
  kit::StoreText(r::kDatasetId, TrimmedCharacters(reply, 5, 11));
  return EntryResult::kDone;
}

EntryResult HandleSwVersion(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!AcceptIdentification(d, reply, 4, result)) return result;
  kit::StoreText(r::kSwVersion,
                 std::to_string(reply.ByteAt(5)) + "." + std::to_string(reply.ByteAt(6)));
  return EntryResult::kDone;
}

EntryResult HandleDiagnosticSession(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!Accept(reply, kStartSession, 2, result, d.Messages())) return result;
  return EntryResult::kDone;
}

EntryResult HandleSeed(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!Accept(reply, kSecurityAccess, 4, result, d.Messages())) return result;
  d.state.seed = reply.Word16At(5);
  d.state.seedKnown = true;
  return EntryResult::kDone;
}

std::size_t BuildKey(Driver& d, Work work, std::size_t length) {
  if (length < 4) return 0;
  // Without a challenge there is nothing to answer; the handler of 27 05 has ended the pass.
  if (!d.state.seedKnown) return 0;
  const std::uint16_t key = AccessKey(d.state.seed);
  work[2] = static_cast<std::uint8_t>(key >> 8);
  work[3] = static_cast<std::uint8_t>(key & 0xFF);
  return length;
}

// 67 06 when the key is accepted; 7F 27 35 (shown with the NAK table) ends the pass.
EntryResult HandleKey(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!Accept(reply, kSecurityAccess, 2, result, d.Messages())) return result;
  return EntryResult::kDone;
}

EntryResult HandleCo2Value(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!Accept(reply, kReadLocal, 3, result, d.Messages())) return result;
  kit::StoreUnsigned(r::kCo2Value, reply.ByteAt(5));
  return EntryResult::kDone;
}

// --- Operating data ----------------------------------------------------------------------------

EntryResult HandleMeasuredValues(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!Accept(reply, kReadLocal, 8, result, d.Messages())) return result;
  kit::Decode(kMeasuredValues, reply);
  const std::uint8_t code = reply.ByteAt(10);
  const StateNameTable table = StateTableD06();
  kit::StoreText(r::kOperatingState, StateText(table, code, 0));
  d.state.stateLog.Note(table, code);
  return EntryResult::kDone;
}

EntryResult HandleActuators(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!Accept(reply, kReadLocal, 9, result, d.Messages())) return result;
  kit::Decode(kActuators, reply);
  const std::uint8_t flags = reply.ByteAt(11);
  kit::StoreText(r::kFuelType,
                 LoadString((flags & kGasolineBit) != 0 ? kTextFuelGasoline : kTextFuelDiesel));
  d.state.overheat = (flags & 0x40) != 0;
  StoreDeviceState(d.state);
  return EntryResult::kDone;
}

// --- Fault memory ------------------------------------------------------------------------------

// b4 = k, then k groups of code high, code low, status.
EntryResult HandleFaultList(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!AcceptAtLeast(reply, kReadFaultsByStatus, 2, result, d.Messages())) return result;
  const std::uint8_t count = reply.ByteAt(4);
  if (reply.DataLength() < 2 + 3 * count) return keyword::InvalidLength(d.Messages());
  DriverState& state = d.state;
  state.faultCodes = {};
  const std::size_t known = std::min<std::size_t>(count, kMaxFaultCodes);
  for (std::size_t i = 0; i < known; ++i) state.faultCodes[i] = reply.Word16At(5 + 3 * i);
  // Blocks of faults the unit no longer reports go; the others stay until their status has been
  // read again, so that a fault that stays does not flicker.
  const std::size_t blocks = std::min<std::size_t>(count, r::kFaultBlocks);
  for (std::uint32_t block = static_cast<std::uint32_t>(blocks); block < r::kFaultBlocks; ++block)
    kit::Hide(r::FaultBlock(block));
  state.faultCount = count;
  kit::StoreUnsigned(r::kFaultCount, count);
  StoreDeviceState(state);
  if (blocks > 0) {
    state.faultCursor = 0;
    state.faultsRemaining = static_cast<std::uint8_t>(blocks);
    d.Request(bit::kFaultStatus);
  } else {
    state.faultsRemaining = 0;
    state.faultReadsCompleted.fetch_add(1);
  }
  return EntryResult::kDone;
}

std::size_t BuildFaultStatus(Driver& d, Work work, std::size_t length) {
  const DriverState& state = d.state;
  if (length < 3 || state.faultsRemaining == 0 || state.faultCursor >= r::kFaultBlocks) return 0;
  const std::uint16_t code = state.faultCodes[state.faultCursor];
  work[1] = static_cast<std::uint8_t>(code >> 8);
  work[2] = static_cast<std::uint8_t>(code & 0xFF);
  return length;
}

EntryResult HandleFaultStatus(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (!Accept(reply, kReadFaultStatus, 12, result, d.Messages())) return result;
  DriverState& state = d.state;
  const std::uint32_t block = state.faultCursor;
  if (block < r::kFaultBlocks) {
    const kit::Row heading = r::FaultRow(block, r::fault::kHeading);
    if (!kit::IsPresent(heading)) kit::SetPresent(r::FaultBlock(block), true);
    const std::uint16_t code = reply.Word16At(5);
    const std::uint8_t status = reply.ByteAt(7);
    kit::StoreUnsigned(heading, FaultNumber(code, status));
    char text[16];
    std::snprintf(text, sizeof text, "%04X/%02X", code, status);
    kit::StoreText(r::FaultRow(block, r::fault::kCode), text);
    kit::Decode(kFaultEnvironment, reply, {}, r::FaultRow(block, 0));
  }
  if (state.faultsRemaining > 0) --state.faultsRemaining;
  if (state.faultsRemaining > 0 && state.faultCursor + 1u < r::kFaultBlocks) {
    ++state.faultCursor;
    d.Request(bit::kFaultStatus);
    return EntryResult::kRepeat;
  }
  state.faultsRemaining = 0;
  state.faultReadsCompleted.fetch_add(1);
  return EntryResult::kDone;
}

EntryResult HandleClearFaults(Driver& d, const ReplyView& reply) {
  const EntryResult result = keyword::CheckAck(reply, kClearFaultMemory, d.Messages());
  if (reply.Answers(kClearFaultMemory)) {
    d.state.faultClearsConfirmed.fetch_add(1);
    d.Request(bit::kFaultList);
  }
  return result;
}

// --- Service requests --------------------------------------------------------------------------

// The wanted component goes out as 30 cc 07 ss; when another one is still switched on it is
// switched off first and the wanted one follows at the next request.
std::size_t BuildComponentTest(Driver& d, Work work, std::size_t length) {
  if (length < 4) return 0;
  DriverState& state = d.state;
  const std::uint8_t wanted = state.wantedBits.load();
  const std::uint8_t on = state.wantedState.load();
  if (on != 0 && state.switchedOn != 0 && state.switchedOn != wanted) {
    work[1] = state.switchedOn;
    work[3] = 0;
    state.switchedOn = 0;
    d.Request(bit::kComponentTest);
    return length;
  }
  work[1] = wanted;
  work[3] = on;
  state.switchedOn = on != 0 ? wanted : 0;
  return length;
}

EntryResult HandleComponentTest(Driver& d, const ReplyView& reply) {
  return keyword::CheckAck(reply, kIoControl, d.Messages());
}

std::size_t BuildCo2Write(Driver& d, Work work, std::size_t length) {
  if (length < 4) return 0;
  work[2] = d.state.co2Value.load();
  return length;
}

// The waiting SetCo2Value is told the outcome in every case.
EntryResult HandleCo2Write(Driver& d, const ReplyView& reply) {
  if (reply.Answers(kWriteLocal)) {
    kit::StoreUnsigned(r::kCo2Value, d.state.co2Value.load());
    d.facts.FinishRequest(0);
    return EntryResult::kDone;
  }
  d.facts.FinishRequest(1);
  return keyword::CheckAck(reply, kWriteLocal, d.Messages());
}

// Only 71 31 23 is accepted (result 4, see Driver::StateAfter).
EntryResult HandleRoutine(Driver& d, const ReplyView& reply) {
  if (reply.IsNak()) {
    if (!d.ProbeMode()) keyword::ShowNak(reply.NakCode());
    return EntryResult::kLinkFault;
  }
  if (reply.DataLength() != 3 || reply.ByteAt(3) != kRoutineAnswer[0] ||
      reply.ByteAt(4) != kRoutineAnswer[1] || reply.ByteAt(5) != kRoutineAnswer[2])
    return keyword::InvalidResponse(d.Messages());
  return EntryResult::kDatasetRead;
}

}  // namespace heatdiag::d06
