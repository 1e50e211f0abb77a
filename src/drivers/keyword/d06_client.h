// D06's side of the link worker: its poll table as the rows of a TablePollClient over the
// keyword request line, and what the connection pass, a lost link and the routine answer mean
// for the driver.
#pragma once

#include <optional>
#include <span>

#include "drivers/kit/keyword_reply.h"
#include "drivers/kit/request_line.h"
#include "link/table_poll_client.h"

namespace heatdiag::d06 {

class Driver;
using PollRowD06 = PollRow<Driver, keyword::ReplyView>;

// The poll table (19 rows).
std::span<const PollRowD06> PollTable();

class Client : public TablePollClient<Driver, keyword::ReplyView> {
 public:
  Client(Driver& driver, kit::RequestLine& line)
      : TablePollClient(driver, PollTable()), line_(line) {}

  std::optional<keyword::ReplyView> Exchange(std::span<const std::uint8_t> request) override;
  // The routine answer's result 4 leads to the request state 6 (Driver::StateAfter).
  WorkerState StateAfter(EntryResult result) override;

  bool WakeUp() override { return line_.WakeUp(); }
  // The session's data are valid: the views are told.
  void ConnectionPassDone() override;
  // Sends a queued free telegram with its own addresses; the protocol records the exchange when
  // the telegram asks for it. False when it stayed unanswered.
  bool Housekeeping() override;

 private:
  kit::RequestLine& line_;
};

}  // namespace heatdiag::d06
