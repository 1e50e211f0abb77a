// The control unit's side of the diagnosis protocol: it takes one checked request (an H-Bus
// telegram, or a bare frame in block mode) and gives the answer bytes. No I/O and no timing
// here; the line server puts the bytes on the wire.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "heater_model.h"
#include "line_unit.h"
#include "scenario.h"

namespace heatsim {

// NAK codes the unit sends.
inline constexpr std::uint8_t kNakGeneralReject = 0x10;
inline constexpr std::uint8_t kNakRequestNotSupported = 0x11;
inline constexpr std::uint8_t kNakParameterNotSupported = 0x12;
inline constexpr std::uint8_t kNakConditionsNotCorrect = 0x22;
inline constexpr std::uint8_t kNakInvalidRange = 0x31;

inline constexpr int kHBusRate = 2400;

// The exclusive-or of all bytes; a well-formed telegram or block frame gives 0.
std::uint8_t Xor(std::span<const std::uint8_t> bytes);

class ControlUnit {
 public:
  using Clock = std::function<Millis()>;

  ControlUnit(const Scenario& scenario, Clock clock);

  // A telegram addressed to the unit with a correct checksum: header, length, command, data,
  // checksum.
  Answer OnTelegram(std::span<const std::uint8_t> telegram);
  // A block-mode frame with a correct checksum: command, data, checksum.
  Answer OnBlockFrame(std::span<const std::uint8_t> frame);
  // The NAK the unit would send for a request with this header.
  Bytes Nak(std::uint8_t requestHeader, std::uint8_t code) const;

  bool BlockMode() const { return blockMode_; }
  void LeaveBlockMode();  // the line went quiet: back to H-Bus framing at 2400 baud
  // Bytes that follow the first byte of a block frame from the tester; 0 for an unknown frame.
  std::size_t BlockFrameRest(std::uint8_t first) const;
  int Rate() const { return rate_; }

  const Scenario& Setup() const { return scenario_; }
  const Bytes& Eeprom() const { return eeprom_; }
  std::uint8_t Mode();
  std::uint8_t StateCode();
  std::size_t FaultCount() const { return faults_.size(); }
  HeaterModel& Model();  // advanced to the clock's present

 private:
  Answer Reply(std::uint8_t command, const Bytes& data) const;
  Answer Refuse(std::uint8_t code) const;
  Answer OperatingMode(std::uint8_t command, std::span<const std::uint8_t> data);
  Answer KeepAlive(std::span<const std::uint8_t> data);
  Answer Calibration(std::span<const std::uint8_t> data);
  Answer ComponentTest(std::span<const std::uint8_t> data);
  Answer ComponentTestV1(std::span<const std::uint8_t> data);
  Answer Status(std::span<const std::uint8_t> data);
  Answer Identify(std::span<const std::uint8_t> data);
  Answer Thresholds(std::span<const std::uint8_t> data);
  Answer Faults(std::span<const std::uint8_t> data);
  Answer FaultSlot(std::uint8_t slot);
  Answer Co2(std::span<const std::uint8_t> data);
  Answer Co2V1(std::span<const std::uint8_t> data);
  Answer DebugOrExtended(std::span<const std::uint8_t> data);
  Answer CellRead(std::span<const std::uint8_t> data);
  Answer CellWrite(std::span<const std::uint8_t> data);
  Answer BlockSwitch(std::span<const std::uint8_t> data);
  Answer Layout(std::span<const std::uint8_t> data);
  Bytes DebugStatusBytes(std::uint8_t command);
  std::uint8_t WriteCell(std::size_t address, std::uint8_t value);
  bool Fitted(std::uint8_t component) const;

  Scenario scenario_;
  Clock clock_;
  HeaterModel model_;
  Bytes eeprom_;
  std::vector<StoredFault> faults_;
  std::uint8_t co2Value_;
  std::uint8_t replyHeader_ = 0x4F;
  bool blockMode_ = false;
  std::size_t page_ = 0;
  int rate_ = kHBusRate;
};

}  // namespace heatsim
