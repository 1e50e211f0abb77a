// The request line of the keyword-link families: the keyword transport and the keyword wake-up
// pattern (break 300 ms, release 50 ms, break 25 ms, release 25 ms).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "drivers/kit/request_line.h"
#include "link/keyword_frame.h"
#include "link/line_transport.h"

namespace heatdiag::kit {

// The transport carries `framing` in its line slot.
class KeywordLine : public RequestLine {
 public:
  KeywordLine(LineTransport& transport, KeywordFraming& framing)
      : transport_(transport), framing_(framing) {}

  // Pauses the receiver, puts the pattern on the line (the receive side is purged after it) and
  // hands the line to the keyword frame assembly.
  bool WakeUp() override;
  int Send(const std::uint8_t* payload, std::size_t n) override {
    return transport_.Send(payload, n);
  }
  std::span<const std::uint8_t> Reply() const override { return transport_.Reply(); }
  // The frame carries target and source given; the line's addresses come back afterwards.
  int SendAddressed(std::uint8_t target, std::uint8_t source, const std::uint8_t* payload,
                    std::size_t n) override;

 private:
  LineTransport& transport_;
  KeywordFraming& framing_;
};

}  // namespace heatdiag::kit
