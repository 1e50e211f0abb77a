// The link side of a family's poll table as the generic link worker sees it: the table rows run
// as PollClient rows over a request line (the family's transport and its wake-up pattern).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "link/poll_client.h"

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
};

// Executes row k of a table of PollRow<Driver, Reply>: the builder (if any) on a copy of the
// payload, the exchange, then the handler on the answer.
template <class Driver, class Reply>
EntryResult ExecuteTableRow(const PollRow<Driver, Reply>& row, Driver& driver, RequestLine& line) {
  std::array<std::uint8_t, kWorkBufferSize> work{};
  std::copy_n(row.payload.begin(), std::min<std::size_t>(row.payloadLength, kPollPayloadSize),
              work.begin());
  std::size_t length = row.payloadLength;
  if (row.builder != nullptr) {
    length = std::min(row.builder(driver, work, length), work.size());
    if (length == 0) return EntryResult::kDone;
  }
  if (line.Send(work.data(), length) == 0) return EntryResult::kLinkFault;
  return row.handler(driver, Reply(line.Reply()));
}

}  // namespace heatdiag::kit
