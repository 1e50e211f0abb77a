// The keyword receiver's frame assembly and dispatch, run step by step as its thread runs it,
// with the bytes coming from the input instead of the port: format bytes that cannot start a
// frame, lengths, sums, echo recognition, the classification of replies.
//
// Input: records of [op] [count] [count bytes]:
//   op & 3 == 0: the bytes arrive in one go;
//   op & 3 == 1: a request with the bytes as payload goes out: its echo is pending;
//   op & 3 == 2: a request goes out and its exact echo arrives, followed by the bytes;
//   op & 3 == 3: the owner pauses the receiver and resumes it.
// Between records the line pauses (a read finds nothing), as between frames.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "link/keyword_frame.h"
#include "link/keyword_transport.h"

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
  InputLine line;
  KeywordTransport transport;  // its threads are never started
  TransportTiming timing = KeywordTiming();
  timing.byteTimeoutMs = 1;
  timing.skipPauseMs = 0;  // a skipped byte costs no time here
  transport.SetTiming(timing);
  transport.SetReceiveLine(&line);
  transport.SetReceiverMode(kRxFirst);
  std::size_t i = 0;
  while (i + 1 < size) {
    const std::uint8_t op = data[i];
    const std::size_t count = std::min<std::size_t>(data[i + 1], size - i - 2);
    const std::uint8_t* bytes = data + i + 2;
    i += 2 + count;
    switch (op & 3) {
      case 0:
        line.Arrive(bytes, count);
        break;
      case 1:
        transport.PrepareTransmit({bytes, count}, FramingSlot::kLine);
        line.Arrive(nullptr, 0);
        break;
      case 2: {
        if (!transport.PrepareTransmit({bytes, count}, FramingSlot::kLine)) break;
        std::vector<std::uint8_t> echo(kKeywordMaxFrame);
        const std::size_t n = BuildKeywordFrame(transport.Keyword().Target(),
                                                transport.Keyword().Source(), {bytes, count}, echo);
        echo.resize(n);
        echo.insert(echo.end(), bytes, bytes + count);
        line.Arrive(echo.data(), echo.size());
        break;
      }
      default:
        transport.SetReceiverMode(kRxPauseRequested);
        transport.ReceiverStep();
        if (transport.ReceiverModeValue() != kRxPaused) __builtin_trap();
        transport.SetReceiverMode(kRxFirst);
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
    for (int k = 0; k < 4 && transport.ReceiverModeValue() == kRxDispatch; ++k)
      transport.ReceiverStep();
    transport.ReplyEvent().Wait(0);
  }
  return 0;
}
