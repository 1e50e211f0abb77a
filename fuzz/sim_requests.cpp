// The virtual heater's request handling: bytes from the tester cut into frames by the unit's
// receiver and answered by the unit, as its serving thread does. Telegrams and block frames
// are built from the input with their checksum right, so that they reach the unit's decoders;
// raw bytes in between exercise the receiver's framing.
//
// Input: records of [kind] [count] [count bytes]:
//   kind & 3 == 0: a telegram F4 <count+1> <bytes> <checksum>;
//   kind & 3 == 1: a block frame <bytes> <checksum>;
//   kind & 3 == 2: the bytes as they stand;
//   kind & 3 == 3: the clock moves on by count x 100 ms (the heater model runs meanwhile).
// kind & 4: a pause of 40 ms before the record, as the tester keeps before a request.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "control_unit.h"
#include "frame_reader.h"
#include "scenario.h"

namespace {

using namespace heatsim;

const Scenario& Unit(std::uint8_t which) {
  static const Scenario* scenarios[4] = {};
  static const char* const names[4] = {"v1.5", "v3.0", "v3.1", "v3.2"};
  const unsigned i = which % 4;
  if (!scenarios[i]) {
    auto* s = new Scenario();
    std::string error;
    if (!LoadScenario(names[i], "", s, &error)) __builtin_trap();
    scenarios[i] = s;
  }
  return *scenarios[i];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Millis now{0};
  ControlUnit unit(Unit(data[0]), [&now] { return now; });
  FrameReader reader;
  bool blockMode = false;
  auto at = FrameReader::TimePoint{} + std::chrono::hours(1);
  const auto feed = [&](std::uint8_t byte) {
    at += std::chrono::milliseconds(1);
    reader.Expire(at);
    const std::optional<Bytes> frame = reader.Feed(byte, at);
    if (!frame || Xor(*frame) != 0) return;
    const bool block = unit.BlockMode();
    if (!block && ((*frame)[0] & 0x0F) != 0x4) return;
    const Answer answer = block ? unit.OnBlockFrame(*frame) : unit.OnTelegram(*frame);
    (void)answer;
    if (unit.BlockMode() != blockMode) {
      blockMode = unit.BlockMode();
      if (blockMode) {
        reader.SetBlockMode([&unit](std::uint8_t first) { return unit.BlockFrameRest(first); });
      } else {
        reader.SetHBusMode();
      }
    }
  };
  std::size_t i = 1;
  while (i + 1 < size) {
    const std::uint8_t kind = data[i];
    const std::size_t count = std::min<std::size_t>(data[i + 1], size - i - 2);
    const std::uint8_t* bytes = data + i + 2;
    i += 2 + count;
    if ((kind & 4) != 0) {
      at += std::chrono::milliseconds(40);
      reader.Expire(at);
    }
    Bytes frame;
    switch (kind & 3) {
      case 0:
        frame = {0xF4, static_cast<std::uint8_t>(count + 1)};
        frame.insert(frame.end(), bytes, bytes + count);
        frame.push_back(Xor(frame));
        break;
      case 1:
        frame.assign(bytes, bytes + count);
        frame.push_back(Xor(frame));
        break;
      case 2:
        frame.assign(bytes, bytes + count);
        break;
      default:
        now += Millis(100 * static_cast<long>(count));
        unit.Model();
        continue;
    }
    for (const std::uint8_t b : frame) feed(b);
  }
  return 0;
}
