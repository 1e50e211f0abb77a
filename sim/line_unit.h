// A control unit as the line server sees it: how its receiver cuts the tester's bytes into
// request frames, which of them it takes, the answer bytes for a taken request, the line it
// talks on and the refusal an injected fault puts in place of an answer. The server (echo,
// latency, pacing, fault switches) is the same for every family of units; each family brings
// one of these.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "scenario.h"

namespace heatsim {

using TimePoint = std::chrono::steady_clock::time_point;

struct Answer {
  Bytes bytes;        // empty: the unit stays silent
  bool nak = false;   // the answer is a refusal
  int rateAfter = 0;  // when not 0: the unit talks at this rate once the answer is out
};

// A checked request frame, as the fault rules see it.
struct RequestInfo {
  int command = -1;    // the byte a fault rule's `command` matches (-1: none)
  int index = -1;      // the byte a fault rule's `index` matches (-1: none)
  bool block = false;  // a block-mode frame: counted apart, never refused with a NAK
};

// The time `bytes` characters of `bitsPerByte` bits take at `rate` baud, to the nanosecond:
// computed from the count, so that a run of bytes does not add up rounding errors.
std::chrono::nanoseconds LineTime(int rate, int bitsPerByte, std::int64_t bytes);

class LineUnit {
 public:
  using Clock = std::function<std::chrono::milliseconds()>;

  virtual ~LineUnit() = default;

  // Receiver. Takes one byte received at `at`; returns the frame it completes. Bytes that form
  // no frame are dropped: Dropped() counts the drops, LastDrop() names the last one's reason.
  virtual std::optional<Bytes> Feed(std::uint8_t byte, TimePoint at) = 0;
  // Gives up a begun frame once the line has paused for too long; true when it did.
  virtual bool Expire(TimePoint now) = 0;
  virtual bool Partial() const = 0;  // a frame is begun
  // When Expire() or OnTimer() has something to do next; empty: nothing pending.
  virtual std::optional<TimePoint> Deadline() const = 0;
  virtual std::uint64_t Dropped() const = 0;
  virtual std::string_view LastDrop() const = 0;

  // A complete frame: empty with `why` (the log text) when the unit does not take it (a wrong
  // checksum, another member's address).
  virtual std::optional<RequestInfo> Check(std::span<const std::uint8_t> frame,
                                           std::string* why) const = 0;
  // The answer to a checked frame received at `at`.
  virtual Answer Respond(std::span<const std::uint8_t> frame, TimePoint at) = 0;
  // The refusal with `code` that an injected fault sends instead of the answer.
  virtual Bytes Refuse(std::span<const std::uint8_t> frame, std::uint8_t code) const = 0;
  // Turns the held echo of a request into a well-formed frame that differs from it, as a
  // collision on the line can.
  virtual void CorruptEcho(std::span<std::uint8_t> echo) const = 0;
  // Housekeeping due at Deadline() (a unit leaving block mode); returns a log line or "".
  virtual std::string OnTimer(TimePoint now) = 0;

  // The line: rate now, and bits per character (start, data, parity, stop).
  virtual int Rate() const = 0;
  virtual int BitsPerByte() const = 0;

  // The device record the unit answers as ("D00", "D06") and test hooks.
  virtual std::string_view Device() const = 0;
  virtual Bytes Eeprom() const { return {}; }
  virtual std::uint8_t OperatingMode() = 0;  // H-Bus mode command running, 0 none
  virtual std::uint8_t StateCode() = 0;      // operating-state code as the unit reports it
  virtual std::size_t StoredFaultCount() const = 0;
};

// The unit of the scenario's family.
std::unique_ptr<LineUnit> MakeLineUnit(const Scenario& scenario, LineUnit::Clock clock);

}  // namespace heatsim
