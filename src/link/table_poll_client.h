// The table part of a PollClient, shared by the families whose link worker walks a poll table of
// PollRow<Driver, Reply>: the row queries and the execution of one row (builder, exchange,
// handler).
//
// A family derives its client from TablePollClient<Driver, Reply>, hands it the driver and the
// table, and supplies
//  - ProtocolVersion(): the control unit's protocol version as known now, against which each row's
//    [minVersion, maxVersion] range is checked (a family without versions keeps the default 0
//    and leaves its rows at the full range);
//  - Exchange(request): sends the request through the family's transport and returns the view of
//    the answer, or nothing when the request stayed unanswered;
// and the connection hooks of PollClient (WakeUp, ConnectionPassDone and the optional ones).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "link/poll_client.h"

namespace heatdiag {

template <class Driver, class Reply>
class TablePollClient : public PollClient {
 public:
  using Row = PollRow<Driver, Reply>;

  TablePollClient(Driver& driver, std::span<const Row> rows) : driver_(driver), rows_(rows) {}

  std::size_t RowCount() const override { return rows_.size(); }
  std::uint32_t RowSchedule(std::size_t k) const override { return rows_[k].schedule; }
  std::uint32_t RowRequestBit(std::size_t k) const override { return rows_[k].requestBit; }
  bool RowApplies(std::size_t k) const override {
    const std::uint8_t version = ProtocolVersion();
    return version >= rows_[k].minVersion && version <= rows_[k].maxVersion;
  }

  EntryResult ExecuteRow(std::size_t k) override {
    const Row& row = rows_[k];
    std::array<std::uint8_t, kWorkBufferSize> work{};
    const std::size_t payload = std::min<std::size_t>(row.payloadLength, kPollPayloadSize);
    std::copy_n(row.payload.begin(), payload, work.begin());
    std::size_t length = payload;
    if (row.builder != nullptr) {
      length = std::min(row.builder(driver_, work, length), work.size());
      if (length == 0) return EntryResult::kDone;
    }
    const std::optional<Reply> reply = Exchange(std::span<const std::uint8_t>(work.data(), length));
    if (!reply) return EntryResult::kLinkFault;
    if (row.handler == nullptr) return EntryResult::kDone;
    return row.handler(driver_, *reply);
  }

  std::span<const Row> Rows() const { return rows_; }
  Driver& Owner() const { return driver_; }

  // The protocol version the rows' ranges are checked against.
  virtual std::uint8_t ProtocolVersion() const { return 0; }
  // Sends one request (command or service byte first) and waits for the answer. Nothing when it
  // stayed unanswered after the transport's retries.
  virtual std::optional<Reply> Exchange(std::span<const std::uint8_t> request) = 0;

 private:
  Driver& driver_;
  std::span<const Row> rows_;
};

}  // namespace heatdiag
