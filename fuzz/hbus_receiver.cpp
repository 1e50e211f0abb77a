// The H-Bus receiver's frame assembly and dispatch, in H-Bus and in block framing, run step by
// step as its thread runs it, with the bytes coming from the input instead of the port: length
// checks, checksums, echo recognition, the block frame lengths by version.
//
// Input: a version byte, then records of [op] [count] [count bytes]:
//   op & 3 == 0: the bytes arrive in one go;
//   op & 3 == 1: a request with the bytes as payload goes out: its echo is pending;
//   op & 3 == 2: a request goes out and its exact echo arrives, followed by the bytes;
//   op & 3 == 3: the owner switches the framing: block mode when op & 4, else H-Bus framing.
// Between records the line pauses (a read finds nothing), as between telegrams.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "link/hbus_frame.h"
#include "link/hbus_transport.h"

namespace {

using namespace heatdiag;

// Serves the bytes of one record, then one read that finds nothing.
class InputLine : public ReceiveLine {
 public:
  void Arrive(const std::uint8_t* bytes, std::size_t count) {
    pending_.insert(pending_.end(), bytes, bytes + count);
    pause_ = true;
  }
  bool Drained() const { return pending_.empty() && !pause_; }
  int ReadWithin(std::uint8_t* buffer, std::uint32_t& length, std::uint32_t) override {
    if (pending_.empty()) {
      pause_ = false;
      length = 0;
      return 1;
    }
    std::uint32_t n = 0;
    while (n < length && !pending_.empty()) {
      buffer[n++] = pending_.front();
      pending_.pop_front();
    }
    length = n;
    return 1;
  }
  bool IsOpen() const override { return true; }
  std::uint32_t ByteTimeoutMs() const override { return 0; }

 private:
  std::deque<std::uint8_t> pending_;
  bool pause_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  InputLine line;
  HBusTransport transport;  // its threads are never started
  transport.SetReceiveLine(&line);
  transport.SetHBusVersion(data[0]);
  transport.SetReceiverMode(kRxHeader);
  std::size_t i = 1;
  while (i + 1 < size) {
    const std::uint8_t op = data[i];
    const std::size_t count = std::min<std::size_t>(data[i + 1], size - i - 2);
    const std::uint8_t* bytes = data + i + 2;
    i += 2 + count;
    const bool block = transport.ReceiverModeValue() >= kRxBlockFirst;
    switch (op & 3) {
      case 0:
        line.Arrive(bytes, count);
        break;
      case 1:
        transport.PrepareTransmit({bytes, count}, block);
        line.Arrive(nullptr, 0);
        break;
      case 2: {
        if (!transport.PrepareTransmit({bytes, count}, block)) break;
        std::vector<std::uint8_t> echo(kTransmitBufferSize);
        const std::size_t n = block ? BuildBlockFrame({bytes, count}, echo)
                                    : BuildTelegram(kRequestHeader, {bytes, count}, echo);
        echo.resize(n);
        echo.insert(echo.end(), bytes, bytes + count);
        line.Arrive(echo.data(), echo.size());
        break;
      }
      default:
        transport.SetReceiverMode((op & 4) != 0 ? kRxBlockFirst : kRxHeader);
        line.Arrive(nullptr, 0);
        break;
    }
    // Every byte is taken within a bounded number of passes: the receiver never stalls on its
    // input.
    std::size_t passes = 0;
    while (!line.Drained()) {
      transport.ReceiverStep();
      if (++passes > 8 * kTransmitBufferSize) __builtin_trap();
    }
    // Finish a frame in the middle of its dispatch, as the thread's next passes would.
    for (int k = 0; k < 4; ++k) {
      const std::uint32_t mode = transport.ReceiverModeValue();
      if (mode != kRxDispatch && mode != kRxBlockDispatch) break;
      transport.ReceiverStep();
    }
    transport.ReplyEvent().Wait(0);
  }
  return 0;
}
