// D06's threads and sessions: the keyword transport and the link worker on the session's port.
#include <string>

#include "base/protocol.h"
#include "base/settings.h"
#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/diag_store.h"
#include "drivers/keyword/d06_driver.h"
#include "drivers/keyword/d06_rows.h"
#include "link/keyword_frame.h"

namespace heatdiag::d06 {

Driver::Driver() {
  transport.SetFraming(framing_, KeywordTiming());
}

Driver::~Driver() {
  if (initialised_) Shutdown();
}

void Driver::Init() {
  if (initialised_) return;
  initialised_ = true;
  transport.StartThreads();
  facts.StartThread();
}

void Driver::Shutdown() {
  if (!initialised_) return;
  transport.RequestStop();
  transport.SessionRunning().Reset();
  facts.RequestDone().Set();
  transport.ReplyEvent().Set();
  facts.JoinThread();
  transport.BusIdle().Set();
  transport.SendEvent().Set();
  transport.StopThreads();
  if (port_ != nullptr) {
    transport.SetPort(nullptr);
    ClosePort(port_);
    port_ = nullptr;
  }
  initialised_ = false;
}

void Driver::SetPort(std::uint32_t portNumber, const std::string& devicePath) {
  portNumber_ = portNumber;
  devicePath_ = devicePath;
  portChosen_ = true;
}

int Driver::StartSession() {
  if (IsSessionActive()) return 1;
  PortConfig config = KeywordLineConfig(
      portChosen_ ? portNumber_ : static_cast<std::uint32_t>(ProgramSettings().comPort));
  if (portChosen_) config.devicePath = devicePath_;
  if (!kit::OpenSessionLine(port_, config, ProbeMode())) return 0;
  if (!kit::OpenSessionStore(CatalogueD06())) {
    ClosePort(port_);
    port_ = nullptr;
    return 0;
  }
  facts.BeginSession();
  state.Reset();
  ProtocolResetStateTimer();
  SleepMs(kit::kSessionSettleMs);
  facts.SetState(WorkerState::kConnect);
  transport.SetReceiverMode(kRxPaused);
  transport.SetPort(port_);
  transport.BusIdle().Reset();
  transport.SendEvent().Reset();
  transport.SessionRunning().Set();
  return 1;
}

void Driver::StopSession() {
  if (!IsSessionActive()) return;
  transport.SessionRunning().Reset();
  transport.BusIdle().Set();
  transport.SendEvent().Set();
  SleepMs(kit::kStopSettleMs);
  StoreRelease();
  transport.SetPort(nullptr);
  ClosePort(port_);
  port_ = nullptr;
}

int Driver::ProbeDevice() {
  return kit::ProbeWithSession(*this, facts);
}

int Driver::SetCo2Value(std::uint8_t value) {
  state.co2Value.store(value);
  const bool answered = kit::RequestAndWait(*this, facts.RequestDone(), bit::kCo2Write);
  return answered && facts.RequestError() == 0 ? 1 : 0;
}

}  // namespace heatdiag::d06
