// Small helpers shared by the virtual heater's tests: building requests and a clock that only
// moves when the test says so.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "control_unit.h"

namespace heatsim::testing {

// A request telegram from the tester: header, length, payload, exclusive-or.
inline Bytes Request(std::initializer_list<std::uint8_t> payload, std::uint8_t header = 0xF4) {
  Bytes t;
  t.reserve(payload.size() + 3);
  t.push_back(header);
  t.push_back(static_cast<std::uint8_t>(payload.size() + 1));
  for (const std::uint8_t b : payload) t.push_back(b);
  t.push_back(Xor(t));
  return t;
}

// A block frame: bytes and their exclusive-or.
inline Bytes BlockFrame(std::initializer_list<std::uint8_t> bytes) {
  Bytes f(bytes);
  f.push_back(Xor(f));
  return f;
}

// A keyword-link request from the tester: format byte, target, source, payload, 8-bit sum.
inline Bytes KeywordRequest(std::initializer_list<std::uint8_t> payload, std::uint8_t target = 0x51,
                            std::uint8_t source = 0xF1) {
  Bytes f;
  f.reserve(payload.size() + 4);
  f.push_back(static_cast<std::uint8_t>(0x80 + payload.size()));
  f.push_back(target);
  f.push_back(source);
  f.insert(f.end(), payload.begin(), payload.end());
  std::uint8_t sum = 0;
  for (const std::uint8_t b : f) sum = static_cast<std::uint8_t>(sum + b);
  f.push_back(sum);
  return f;
}

// The 8-bit sum of all bytes but the last equals the last: a well-formed keyword frame.
inline bool SumChecks(const Bytes& frame) {
  if (frame.empty()) return false;
  std::uint8_t sum = 0;
  for (std::size_t i = 0; i + 1 < frame.size(); ++i)
    sum = static_cast<std::uint8_t>(sum + frame[i]);
  return sum == frame.back();
}

struct ManualClock {
  std::atomic<std::int64_t> ms{0};
  void Advance(std::chrono::milliseconds by) { ms += by.count(); }
  ControlUnit::Clock Function() {
    return [this] { return std::chrono::milliseconds(ms.load()); };
  }
};

inline std::string Hex(const Bytes& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string s;
  for (const std::uint8_t b : bytes) {
    if (!s.empty()) s += ' ';
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

}  // namespace heatsim::testing
