// Operating modes with their keep-alive, calibrations, fuel prime, component test, CO2 writes
// and the telegrams that only other parts of the program ask for.
#include "drivers/hbus/conversions.h"
#include "drivers/hbus/decode.h"
#include "drivers/hbus/handlers.h"
#include "drivers/hbus/hbus_driver.h"

namespace heatdiag::hbus {
namespace {

constexpr std::uint8_t kHeaterOff = 0x10;
constexpr std::uint8_t kKeepAlive = 0x44;
constexpr std::uint8_t kCo2Write = 0x57;
constexpr std::uint8_t kCo2WriteOld = 0x53;
constexpr std::uint8_t kReply30 = 0x30;
constexpr std::uint8_t kCommand43 = 0x43;

void EndMode(Driver& d) {
  d.link.SetHeatingActive(0);
  d.link.SetCurrentMode(0);
}

void PutWord(Work work, std::size_t at, std::uint16_t value) {
  work[at] = static_cast<std::uint8_t>(value >> 8);
  work[at + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

// Calibration telegrams: a 16-bit value from 3.0, one converted byte before.
std::size_t BuildCalibration(Driver& d, Work work, std::uint16_t value,
                             std::uint8_t (*toOldByte)(std::uint32_t)) {
  if (d.Version() >= kVersion30) {
    PutWord(work, 3, value);
    return 5;
  }
  work[3] = toOldByte(value);
  return 4;
}

// Bit of a component in the old component test telegram.
std::uint8_t OldComponentBit(std::uint8_t component) {
  switch (component) {
    case 1:
      return 0x10;
    case 2:
      return 0x04;
    case 3:
      return 0x20;
    case 4:
      return 0x08;
    case 5:
      return 0x40;
    case 6:
      return 0x02;
    case 7:
      return 0x01;
    default:
      return 0x00;
  }
}

EntryResult HandleCo2Answer(Driver& d, const ReplyView& reply, std::uint8_t command,
                            bool readAgain) {
  if (!reply.Answers(command)) {
    d.link.FinishRequest(1);
    return EntryResult::kDone;
  }
  if (reply.DataLength() != 1) {
    d.link.FinishRequest(1);
    return InvalidLength();
  }
  d.link.FinishRequest(0);
  if (readAgain) d.link.Request(bit::kCo2Values);
  return EntryResult::kDone;
}

}  // namespace

std::size_t BuildModeOn(Driver& d, Work work, std::size_t length) {
  if (length < 2) return 0;
  work[1] = d.state.runTime.load();
  d.link.SetHeatingActive(work[0]);
  return length;
}

EntryResult HandleModeOn(Driver& d, const ReplyView& reply) {
  if (ShowNakIfAny(reply)) {
    EndMode(d);
    return EntryResult::kDone;
  }
  if (!reply.Answers(d.client.SentCommand())) {
    EndMode(d);
    return InvalidResponse();
  }
  return EntryResult::kDone;
}

std::size_t BuildMode27(Driver& d, Work work, std::size_t length) {
  if (length < 3) return 0;
  work[1] = d.state.runTime.load();
  work[2] = d.state.secondModeByte.load();
  return length;
}

EntryResult HandleHeaterOff(Driver& d, const ReplyView& reply) {
  const EntryResult result = CheckAck(reply, kHeaterOff);
  // The heater is off: nothing is left to keep alive.
  if (reply.Answers(kHeaterOff)) d.link.SetHeatingActive(0);
  return result;
}

EntryResult HandleAck(Driver& d, const ReplyView& reply) {
  return CheckAck(reply, d.client.SentCommand());
}

std::size_t BuildKeepAlive(Driver& d, Work work, std::size_t length) {
  const std::uint8_t mode = d.link.HeatingActive();
  if (mode == 0 || length < 2) return 0;
  work[1] = mode;
  return length;
}

EntryResult HandleKeepAlive(Driver& d, const ReplyView& reply) {
  if (ShowNakIfAny(reply)) {
    EndMode(d);
    return EntryResult::kDone;
  }
  if (!reply.Answers(kKeepAlive)) {
    EndMode(d);
    return InvalidResponse();
  }
  if (reply.DataLength() != 1) return InvalidLength();
  if (reply.ByteAt(3) != 0) EndMode(d);
  return EntryResult::kDone;
}

std::size_t BuildVoltageCalibration(Driver& d, Work work, std::size_t) {
  return BuildCalibration(d, work, d.state.calibrationVoltage.load(), MilliVoltToOldVoltage);
}

std::size_t BuildResistanceCalibration(Driver& d, Work work, std::size_t) {
  return BuildCalibration(d, work, d.state.calibrationResistance.load(), MilliOhmToOldResistance);
}

std::size_t BuildFuelPrime(Driver& d, Work work, std::size_t length) {
  work[3] = d.state.primeDuration.load();
  return length;
}

std::size_t BuildComponentTest(Driver& d, Work work, std::size_t length) {
  work[1] = d.state.component.load();
  work[2] = d.state.componentRunTime.load();
  PutWord(work, 3, d.state.componentValue.load());
  return length;
}

std::size_t BuildComponentTestOld(Driver& d, Work work, std::size_t length) {
  work[1] = OldComponentBit(d.state.component.load());
  return length;
}

std::size_t BuildCo2Write(Driver& d, Work work, std::size_t length) {
  work[2] = d.state.co2Value.load();
  return length;
}

EntryResult HandleCo2Write(Driver& d, const ReplyView& reply) {
  return HandleCo2Answer(d, reply, kCo2Write, true);
}

EntryResult HandleCo2WriteOld(Driver& d, const ReplyView& reply) {
  return HandleCo2Answer(d, reply, kCo2WriteOld, false);
}

std::size_t BuildAsIs(Driver&, Work, std::size_t length) {
  return length;
}

EntryResult HandleReply30(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReply30, result)) return result;
  if (reply.DataLength() != 3) return InvalidLength();
  d.state.reply30Word = reply.Word16At(3);
  d.state.reply30Byte = reply.ByteAt(5);
  return EntryResult::kDone;
}

EntryResult HandleAnyReply(Driver&, const ReplyView&) {
  return EntryResult::kDone;
}

EntryResult HandleCommand43(Driver&, const ReplyView& reply) {
  if (ShowNakIfAny(reply)) return EntryResult::kDone;
  if (!reply.Answers(kCommand43)) return InvalidResponse();
  if (reply.DataLength() != 1) return InvalidLength();
  return EntryResult::kDone;
}

}  // namespace heatdiag::hbus
