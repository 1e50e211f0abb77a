// Every handler of the H-Bus driver's poll table, fed replies as the transport hands them over:
// telegrams from the unit with a length of 2..32 and a correct checksum (the target computes
// it), answering the request the entry's builder made. Families that bring their own poll
// tables add their handlers here.
//
// Input: a version byte, then records of
//   [entry] [kind] [count] [count data bytes]
// entry: the poll table row (modulo its size); kind: bit 0..1 answer form (positive answer,
// NAK, another command, the command byte taken from the data); bit 2 a new version byte
// follows the record's data; count: data bytes after the command (at most 29).
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "drivers/diag_store.h"
#include "drivers/hbus/catalogue.h"
#include "drivers/hbus/hbus_driver.h"
#include "drivers/hbus/reply_view.h"
#include "link/hbus_frame.h"
#include "link/link_worker.h"

namespace {

using namespace heatdiag;

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool Empty() const { return at >= size; }
  std::uint8_t Next() { return at < size ? data[at++] : 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static hbus::Driver& driver = *new hbus::Driver();  // threads are never started
  static const bool started = [] {
    StoreStartup();
    return true;
  }();
  (void)started;
  if (StoreInit(HBusCatalogue()) != 1) return 0;
  driver.state.Reset();
  Input in{data, size};
  driver.SetVersion(in.Next());
  const std::span<const hbus::PollEntry> table = hbus::PollTable();
  while (!in.Empty()) {
    const hbus::PollEntry& entry = table[in.Next() % table.size()];
    const std::uint8_t kind = in.Next();
    const std::size_t count = in.Next() % (kMaxTelegramLength - 2);

    // The request, as the worker makes it.
    std::array<std::uint8_t, kWorkBufferSize> work{};
    std::copy_n(entry.payload.begin(), entry.payloadLength, work.begin());
    std::size_t length = entry.payloadLength;
    if (entry.builder != nullptr) {
      length = std::min(entry.builder(driver, work, length), work.size());
      if (length == 0) continue;
    }
    driver.client.NoteSent(work[0]);

    // The reply: header, length, command, data, checksum.
    std::vector<std::uint8_t> reply = {kReplyHeader, static_cast<std::uint8_t>(count + 2)};
    switch (kind & 3) {
      case 0:
        reply.push_back(static_cast<std::uint8_t>(work[0] | kPositiveReplyBit));
        break;
      case 1:
        reply.push_back(kNakCommand);
        break;
      case 2:
        reply.push_back(static_cast<std::uint8_t>(work[0] ^ 0x5A));
        break;
      default:
        reply.push_back(in.Next());
        break;
    }
    for (std::size_t i = 0; i < count; ++i) reply.push_back(in.Next());
    reply.push_back(XorOf(reply));
    entry.handler(driver, hbus::ReplyView(reply));
    if ((kind & 4) != 0) driver.SetVersion(in.Next());
  }
  StoreRelease();
  return 0;
}
