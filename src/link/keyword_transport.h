// The transport of a keyword-link driver: a LineTransport over the keyword framing.
#pragma once

#include <cstdint>

#include "link/keyword_frame.h"
#include "link/line_transport.h"

namespace heatdiag {

class KeywordTransport : public LineTransport {
 public:
  // The addresses of the driver's requests (D06: target 0x51, source 0xF1).
  explicit KeywordTransport(std::uint8_t target = 0x51, std::uint8_t source = kKeywordTesterAddress)
      : framing_(target, source) {
    SetFraming(framing_, KeywordTiming());
  }
  ~KeywordTransport() override { StopThreads(); }

  KeywordFraming& Keyword() { return framing_; }
  void SetAddresses(std::uint8_t target, std::uint8_t source) {
    framing_.SetAddresses(target, source);
  }

 private:
  KeywordFraming framing_;
};

}  // namespace heatdiag
