// The line a family's poll client works on: its wake-up pattern and one request exchange.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace heatdiag::kit {

// What a table client needs of the line: the wake-up pattern, one request exchange and its
// answer. Implemented over the family's transport; tests script it.
class RequestLine {
 public:
  virtual ~RequestLine() = default;
  // Puts the wake-up pattern on the line and readies the receiver; false when it failed.
  virtual bool WakeUp() = 0;
  // Sends the payload and waits for the answer (with the transport's retries); 1 when Reply()
  // holds it.
  virtual int Send(const std::uint8_t* payload, std::size_t n) = 0;
  virtual std::span<const std::uint8_t> Reply() const = 0;
  // The same with other addresses for this one request (a free telegram); by default the
  // line's own.
  virtual int SendAddressed(std::uint8_t target, std::uint8_t source, const std::uint8_t* payload,
                            std::size_t n) {
    (void)target;
    (void)source;
    return Send(payload, n);
  }
};

}  // namespace heatdiag::kit
