// D06's side of the link worker: its poll table as PollClient rows over the keyword request
// line, and what the connection pass, a lost link and the routine answer mean for the driver.
#pragma once

#include <cstddef>
#include <cstdint>

#include "drivers/keyword/d06_driver.h"
#include "drivers/kit/request_line.h"
#include "link/poll_client.h"

namespace heatdiag::d06 {

class Client : public PollClient {
 public:
  Client(Driver& driver, kit::RequestLine& line) : driver_(driver), line_(line) {}

  std::size_t RowCount() const override { return PollTable().size(); }
  std::uint32_t RowSchedule(std::size_t k) const override { return PollTable()[k].schedule; }
  std::uint32_t RowRequestBit(std::size_t k) const override { return PollTable()[k].requestBit; }
  // The keyword link knows no protocol versions.
  bool RowApplies(std::size_t) const override { return true; }
  EntryResult ExecuteRow(std::size_t k) override {
    return kit::ExecuteTableRow(PollTable()[k], driver_, line_);
  }
  // The routine answer's result 4 leads to the request state 6 (Driver::StateAfter).
  WorkerState StateAfter(EntryResult result) override { return Driver::StateAfter(result); }

  bool WakeUp() override { return line_.WakeUp(); }
  // The session's data are valid: the views are told.
  void ConnectionPassDone() override;
  // A waiting CO2 write is released with an error.
  void LinkLost() override;

 private:
  Driver& driver_;
  kit::RequestLine& line_;
};

}  // namespace heatdiag::d06
