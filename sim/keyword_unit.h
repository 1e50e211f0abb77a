// The water heater control unit on the keyword link (device record D06): 10400 baud 8N1,
// frames of format byte 0x80 + n, target, source, n data bytes (service byte first) and an
// 8-bit sum. It answers a positive reply with the service byte | 0x40, a refusal with
// 7F, the service byte and a reason code.
//
// The tester wakes the unit with a pattern of line breaks before its first request. On a
// pseudo-terminal a break shows as a 0x00 byte or not at all, so the receiver skips whatever
// cannot begin a frame and the unit answers the start request whenever it comes.
#pragma once

#include <random>

#include "heater_model.h"
#include "line_unit.h"

namespace heatsim {

// Reason codes of the keyword unit's refusals.
inline constexpr std::uint8_t kKwpServiceNotSupported = 0x11;
inline constexpr std::uint8_t kKwpInvalidFormat = 0x12;
inline constexpr std::uint8_t kKwpConditionsNotCorrect = 0x22;
inline constexpr std::uint8_t kKwpRequestOutOfRange = 0x31;
inline constexpr std::uint8_t kKwpInvalidKey = 0x35;

// The access answer to a seed: k = (rotate-left-16(seed XOR 0x2F6B, 5) + 0x1357) mod 65536.
std::uint16_t KeywordAccessKey(std::uint16_t seed);

class KeywordUnit : public LineUnit {
 public:
  static constexpr int kRate = 10400;
  // A pause this long ends whatever frame was begun (the tester's byte time-out).
  static constexpr std::chrono::milliseconds kFrameGap{30};

  KeywordUnit(const Scenario& scenario, Clock clock);

  std::optional<Bytes> Feed(std::uint8_t byte, TimePoint at) override;
  bool Expire(TimePoint now) override;
  bool Partial() const override { return !frame_.empty(); }
  std::optional<TimePoint> Deadline() const override;
  std::uint64_t Dropped() const override { return dropped_; }
  std::string_view LastDrop() const override { return lastDrop_; }

  std::optional<RequestInfo> Check(std::span<const std::uint8_t> frame,
                                   std::string* why) const override;
  Answer Respond(std::span<const std::uint8_t> frame, TimePoint at) override;
  Bytes Refuse(std::span<const std::uint8_t> frame, std::uint8_t code) const override;
  void CorruptEcho(std::span<std::uint8_t> echo) const override;
  std::string OnTimer(TimePoint) override { return {}; }

  int Rate() const override { return kRate; }
  int BitsPerByte() const override { return 10; }  // start, 8 data, stop

  std::string_view Device() const override { return "D06"; }
  std::uint8_t OperatingMode() override { return Model().Mode(); }
  std::uint8_t StateCode() override { return Model().StateCode(); }
  std::size_t StoredFaultCount() const override { return faults_.size(); }

  // Test hooks.
  std::uint16_t Seed() const { return seed_; }
  std::uint8_t Co2Value() const { return co2Value_; }
  HeaterModel& Model();  // advanced to the clock's present

 private:
  Answer Reply(std::initializer_list<std::uint8_t> first,
               std::span<const std::uint8_t> rest = {}) const;
  Answer Negative(std::uint8_t service, std::uint8_t code) const;
  Bytes Frame(std::span<const std::uint8_t> data) const;  // to the tester of the last request
  Bytes FrameTo(std::uint8_t target, std::span<const std::uint8_t> data) const;
  Answer Identification(std::span<const std::uint8_t> data) const;
  Answer SecurityAccess(std::span<const std::uint8_t> data);
  Answer ReadLocal(std::span<const std::uint8_t> data);
  Answer FaultList(std::span<const std::uint8_t> data) const;
  Answer FaultStatus(std::span<const std::uint8_t> data) const;
  Answer ComponentTest(std::span<const std::uint8_t> data);
  Answer WriteLocal(std::span<const std::uint8_t> data);
  void Drop(std::string_view why);

  Scenario scenario_;
  Clock clock_;
  HeaterModel model_;
  std::vector<KeywordFault> faults_;
  std::uint8_t co2Value_;
  std::uint8_t tester_ = 0xF1;  // the source of the last request: the answer's target
  std::mt19937 seeds_;
  std::uint16_t seed_ = 0;
  bool seedSent_ = false;
  std::uint8_t tested_ = 0;  // the component test's bit of the component switched on

  // The receiver.
  Bytes frame_;
  std::size_t expected_ = 0;
  bool haveLast_ = false;
  TimePoint last_{};
  std::uint64_t dropped_ = 0;
  std::string_view lastDrop_;
};

}  // namespace heatsim
