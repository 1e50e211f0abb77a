#include "drivers/hbus/hbus_driver.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "base/frame_sink.h"
#include "base/protocol.h"
#include "base/settings.h"
#include "base/string_table.h"
#include "dataset/dataset_image.h"
#include "dataset/dataset_texts.h"
#include "debug/sequence_state.h"
#include "drivers/diag_store.h"
#include "drivers/driver_functions.h"
#include "drivers/hbus/catalogue.h"
#include "drivers/hbus/decode.h"
#include "drivers/hbus/store_access.h"
#include "drivers/hbus/texts.h"
#include "link/hbus_frame.h"
#include "link/link_texts.h"
#include "link/timing.h"
#include "service/component_list.h"
#include "service/free_telegram.h"

namespace heatdiag::hbus {
namespace {

constexpr std::uint32_t kSessionSettleMs = 100;
constexpr std::uint32_t kStopSettleMs = 200;
constexpr int kProbeSteps = 149;
constexpr std::uint32_t kDefaultBlockBaud = 9600;
constexpr Row kFaultCountRow = 75;

// Request bit of each operating mode 0..6.
constexpr std::uint32_t kModeBits[] = {
    bit::kHeaterOff,   bit::kHeatingOn, bit::kParkingHeating,      bit::kSupplementalHeating,
    bit::kVentilating, bit::kBoost,     bit::kPumpExternalControl,
};

// Operating states in which the heater rests, so that its components may be switched by hand.
bool AllowsComponentTest(std::uint8_t version, std::uint8_t code) {
  if (version < kVersion30) return code == 0x00 || code == 0x13;
  return code == 0x01 || code == 0x04 || code == 0x0A || code == 0x16 || code == 0x51;
}

template <std::size_t N>
void CopyText(std::array<char, N>& out, const std::string& text) {
  out.fill('\0');
  std::memcpy(out.data(), text.data(), std::min(text.size(), N - 1));
}

std::string LongName(std::uint32_t textId) {
  std::string text = LoadString(textId);
  return text.substr(0, text.find('\n'));
}

}  // namespace

Driver::Driver() : client(*this, PollTable()), link(client, transport) {}

Driver::~Driver() {
  if (initialised_) Shutdown();
}

void Driver::Init() {
  if (initialised_) return;
  initialised_ = true;
  transport.StartThreads();
  link.StartThread();
}

void Driver::Shutdown() {
  if (!initialised_) return;
  transport.RequestStop();
  transport.SessionRunning().Reset();
  link.DatasetDone().Set();
  link.RequestDone().Set();
  transport.ReplyEvent().Set();
  link.JoinThread();
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

int Driver::IsSessionActive() {
  return transport.SessionRunning().IsSet() ? 1 : 0;
}

int Driver::StartSession() {
  if (IsSessionActive()) return 1;
  const Settings& settings = ProgramSettings();
  PortConfig hbus =
      HBusLineConfig(portChosen_ ? portNumber_ : static_cast<std::uint32_t>(settings.comPort));
  if (portChosen_) hbus.devicePath = devicePath_;
  PortConfig block = hbus;
  block.baudRate = settings.hbusBlockBaud > 0 ? static_cast<std::uint32_t>(settings.hbusBlockBaud)
                                              : kDefaultBlockBaud;
  client.SetLineConfigs(hbus, block);
  PortOpenError why;
  if (OpenPort(port_, hbus, why) == 0) {
    port_ = nullptr;
    // A device search tries every family on the port; a probe that fails stays silent.
    if (!link.ProbeMode()) {
      ShowThreadError(kTextPortUnusableBecause, DescribePortError(why));
      PostToFrame(UM_LINKENDED);
    }
    return 0;
  }
  if (StoreInit(HBusCatalogue()) == 0) {
    ClosePort(port_);
    port_ = nullptr;
    PostToFrame(UM_LINKENDED);
    return 0;
  }
  StoreUnsigned(kFaultCountRow, 0xFF);  // not known yet
  link.BeginSession();
  client.BeginSession();
  state.Reset();
  ProtocolResetStateTimer();
  SleepMs(kSessionSettleMs);
  for (std::uint32_t row = 0; row < kCatalogueRows; ++row) {
    StoreSetPresent(row, 1);
    StoreSetShown(row, 1);
  }
  SleepMs(kSessionSettleMs);
  link.SetState(WorkerState::kConnect);
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
  SleepMs(kStopSettleMs);
  StoreRelease();
  transport.SetPort(nullptr);
  ClosePort(port_);
  port_ = nullptr;
}

int Driver::ProbeDevice() {
  link.SetProbeMode(true);
  link.SetIdentified(false);
  link.SetProbeFailed(false);
  StartSession();
  if (!link.ProbeFailed()) {
    for (int step = 0; step < kProbeSteps; ++step) {
      if (link.Identified() || link.ProbeFailed() || StopRequested() || !IsSessionActive()) break;
      SleepMs(kWaitSliceMs);
    }
  }
  SleepMs(kWaitSliceMs);
  StopSession();
  link.SetProbeMode(false);
  return link.Identified() ? 1 : 0;
}

bool Driver::RequestAndWait(Event& done, std::uint32_t bits) {
  done.Reset();
  link.Request(bits);
  // A session that ends meanwhile never serves the request: the wait ends with it.
  while (!done.Wait(kWaitSliceMs)) {
    if (StopRequested() || !IsSessionActive()) return false;
  }
  return !StopRequested();
}

int Driver::HasFaults() {
  if (!StoreIsDataValid()) return 0;
  const std::uint32_t count = ReadUnsigned(kFaultCountRow) & 0xFF;
  return count != 0 && count != 0xFF ? 1 : 0;
}

void Driver::ClearFaults() {
  link.Request(bit::kClearFaults);
}

int Driver::IsFunctionAvailable(std::uint32_t function) {
  if (!StoreIsDataValid()) return 0;
  const std::uint8_t version = Version();
  const bool old = version < kVersion30;
  const HBusCode& code = state.code;
  const auto has = [&](CapabilityBit capability) { return HasCapability(code, capability); };
  switch (function) {
    case kFnComponentTest:
    case kFnOff:
    case kFnDataset:
    case kFnBlockMode:
    case kFnFreeTelegram:
      return 1;
    case kFnFuelPrime:
      return old || has({1, 0x10}) ? 1 : 0;
    case kFnOn:
      return old || has({0, 0x08}) ? 1 : 0;
    case kFnParkingHeating:
      return old || has({0, 0x10}) ? 1 : 0;
    case kFnVentilating:
      return old || has({0, 0x40}) ? 1 : 0;
    case kFnCo2:
    case kFnCo2Cold:
      return old || has({3, 0x02}) ? 1 : 0;
    case kFnVoltageAdjustment:
      return old || has({3, 0x40}) ? 1 : 0;
    case kFnFlameSensorAdjustment:
      return old || has({3, 0x80}) ? 1 : 0;
    case kFnSupplementalHeating:
      return has({0, 0x20}) ? 1 : 0;
    case kFnBoost:
      return has({0, 0x80}) ? 1 : 0;
    case kFnPumpExternal:
      return has({1, 0x02}) ? 1 : 0;
    case kFnClearFaults:
      return old ? 3 : 8;
    case kFnDebugMode:
      return old ? 0 : 1;
    default:
      return 0;
  }
}

int Driver::GetComponentList(ComponentList* list) {
  if (list == nullptr) return 0;
  *list = ComponentList{};
  // The unit's capabilities are known once the connection pass is complete.
  if (!StoreIsDataValid()) return 0;
  const std::uint8_t version = Version();
  const bool old = version < kVersion30;
  const HBusCode& code = state.code;
  const auto fromRow = [&](std::size_t position, Row row, std::uint32_t decimals,
                           std::uint32_t divisor) {
    if (!IsPresent(row)) return;
    CopyText(list->names[position], StoreGetName(row, NameForm::kLong));
    CopyText(list->units[position], StoreGetUnit(row));
    list->decimals[position] = decimals;
    list->divisors[position] = divisor;
  };
  const auto fixed = [&](std::size_t position, std::uint32_t textId, bool available) {
    if (available) CopyText(list->names[position], LongName(textId));
  };
  if (IsPresent(6))
    fromRow(1, 6, 0, 0);
  else
    fromRow(1, 5, 1, 5);
  fromRow(2, 4, 2, 5);
  fromRow(3, 3, 1, 5);
  fromRow(4, 7, 1, 5);
  fromRow(5, 23, 0, 0);
  fixed(6, kTextYellowLed, old || HasCapability(code, cap::kYellowLed));
  fixed(7, kTextGreenLed, old || HasCapability(code, cap::kGreenLed));
  fromRow(8, 19, 0, 0);
  fromRow(9, 21, 0, 0);
  fixed(10, kTextOperationIndicator, HasCapability(code, cap::kOperationIndicator));
  fromRow(13, 25, 0, 0);
  fromRow(14, 24, 0, 0);
  if (!old) {
    list->setValueAvailable = 1;
    list->runTimeAvailable = 1;
  }
  return 1;
}

int Driver::RunOwnComponentTest() {
  const std::uint8_t code = state.previousStateCode.load();
  if (code == 0xFF) return 0;
  return AllowsComponentTest(Version(), code) ? 1 : 0;
}

int Driver::StartComponent(std::uint32_t component, std::uint32_t value, std::uint32_t runTime) {
  state.component.store(static_cast<std::uint8_t>(component));
  state.componentValue.store(static_cast<std::uint16_t>(std::min<std::uint32_t>(value, 0xFFFF)));
  state.componentRunTime.store(static_cast<std::uint8_t>(std::min<std::uint32_t>(runTime, 0xFF)));
  link.Request(bit::kComponentTest);
  return 1;
}

void Driver::StopComponentTest() {
  state.component.store(0);
  state.componentValue.store(0);
  state.componentRunTime.store(0);
  link.Request(bit::kComponentTest);
}

int Driver::StartFuelPrime(std::uint32_t seconds) {
  state.primeDuration.store(static_cast<std::uint8_t>(std::min<std::uint32_t>(seconds >> 1, 0xFF)));
  link.Request(bit::kFuelPrime);
  return 1;
}

void Driver::SetOperatingMode(std::uint32_t mode) {
  link.SetCurrentMode(mode);
  state.runTime.store(kModeRunTime);
  if (mode < std::size(kModeBits)) link.Request(kModeBits[mode]);
}

std::uint32_t Driver::GetOperatingMode() {
  return link.CurrentMode();
}

void Driver::SetSupplyVoltage(std::uint16_t millivolts) {
  state.calibrationVoltage.store(millivolts);
  link.Request(bit::kVoltageCalibration);
}

void Driver::SetGlowPlugResistance(std::uint16_t milliohms) {
  state.calibrationResistance.store(milliohms);
  link.Request(bit::kResistanceCalibration);
}

void Driver::GetCo2Range(std::uint8_t* lowest, std::uint8_t* highest, std::uint8_t* current) {
  std::uint32_t values[3] = {0, 0, 0};
  if (RequestAndWait(link.RequestDone(), bit::kCo2Values) && link.RequestError() == 0) {
    values[0] = ReadUnsigned(141);
    values[1] = ReadUnsigned(142);
    values[2] = ReadUnsigned(140);
  }
  if (lowest != nullptr) *lowest = static_cast<std::uint8_t>(values[0]);
  if (highest != nullptr) *highest = static_cast<std::uint8_t>(values[1]);
  if (current != nullptr) *current = static_cast<std::uint8_t>(values[2]);
}

int Driver::StartCo2Adjustment() {
  if (!StoreIsDataValid()) return 0;
  if (Version() >= kVersion30 && !HasCapability(state.code, cap::kCo2Calibration)) return 0;
  state.co2Cold.store(false);
  return 1;
}

int Driver::StartCo2AdjustmentCold() {
  if (!StoreIsDataValid()) return 0;
  if (Version() >= kVersion30 && !HasCapability(state.code, cap::kCo2Calibration)) return 0;
  state.co2Cold.store(true);
  return 1;
}

int Driver::EndCo2Adjustment() {
  if (state.co2Cold.load()) {
    state.co2Value.store(0);
    link.Request(bit::kCo2WriteCold);
  }
  return 0;
}

int Driver::SetCo2Value(std::uint8_t value) {
  state.co2Value.store(value);
  const std::uint32_t bits = state.co2Cold.load() ? bit::kCo2WriteCold : bit::kCo2Write;
  return RequestAndWait(link.RequestDone(), bits) && link.RequestError() == 0 ? 1 : 0;
}

int Driver::GetDatasetLayout(DatasetImage* image) {
  if (image == nullptr || image->tag != DATASET_IMAGE_TAG) return 0;
  // The layout comes with the connection pass.
  if (!StoreIsDataValid()) return 0;
  const DatasetLayout layout = state.layout;
  image->cells.clear();
  image->areas.clear();
  image->areaCount = 0;
  image->start = 0;
  image->size = 0;
  // Units without a layout telegram leave the addresses to the user.
  if (!layout.known) return 1;
  // Addresses are 16-bit: an EEPROM of 65536 cells or more cannot be held.
  if (layout.cellCount > 0xFFFF) {
    ShowThreadError(kTextEepromTooLarge);
    return 0;
  }
  image->start = layout.start;
  image->size = static_cast<std::uint16_t>(layout.cellCount);
  image->cells.assign(layout.cellCount, DatasetCell{});
  if (layout.hasChecksumArea) {
    image->areas.push_back({layout.start, layout.checksumEnd, layout.checksumAddress, SUM8});
    image->areaCount = 1;
  }
  // A layout whose area or checksum lies outside the cells, or whose area runs backwards,
  // would have the checksum read and written past the EEPROM: it is not used.
  if (!LayoutProblem(*image).empty()) {
    FreeDatasetImage(image);
    ShowThreadError(kTextLayoutImplausible);
    return 0;
  }
  return 1;
}

bool Driver::WaitDataset(DatasetRequest* request, std::uint32_t bits) {
  state.singleCell.active = false;
  state.cellCursor = request->first;
  client.SetDatasetRequest(request);
  const bool served = RequestAndWait(link.DatasetDone(), bits);
  client.SetDatasetRequest(nullptr);
  return served && link.DatasetError() == 0;
}

int Driver::ReadDataset(DatasetRequest* request) {
  if (request == nullptr || request->cells == nullptr) return 0;
  const bool block = ProgramSettings().hbusBlock != 0;
  return WaitDataset(request, block ? bit::kBlockRead : bit::kReadCell) ? 1 : 0;
}

int Driver::WriteDataset(DatasetRequest* request) {
  if (request == nullptr || request->cells == nullptr) return 0;
  const bool block = ProgramSettings().hbusBlock != 0;
  const bool ok = WaitDataset(request, block ? bit::kBlockWrite : bit::kWriteCell);
  if (StopRequested()) SleepMs(kWaitSliceMs);
  return ok ? 1 : 0;
}

int Driver::ReadDatasetCell(std::uint16_t address, std::uint8_t* value) {
  state.singleCell.address = address;
  state.singleCell.value = 0;
  state.singleCell.active = true;
  const bool ok = RequestAndWait(link.DatasetDone(), bit::kReadCell) && link.DatasetError() == 0;
  if (ok && value != nullptr) *value = state.singleCell.value;
  return ok ? 1 : 0;
}

int Driver::WriteDatasetCell(std::uint16_t address, std::uint8_t value) {
  state.singleCell.address = address;
  state.singleCell.value = value;
  state.singleCell.active = true;
  return RequestAndWait(link.DatasetDone(), bit::kWriteCell) && link.DatasetError() == 0 ? 1 : 0;
}

int Driver::GetDefaultAddresses(std::uint8_t* addresses) {
  if (addresses == nullptr) return 0;
  addresses[0] = 0x4;
  addresses[1] = 0xF;
  return 1;
}

int Driver::SendFreeTelegram(const FreeTelegram* telegram) {
  // The transmit buffer holds header, length and checksum besides the payload.
  if (telegram == nullptr || telegram->length > kMaxRequestPayload) return 0;
  client.QueueFreeTelegram(*telegram);
  return 1;
}

int Driver::StartDebugMode(DebugState* debug) {
  if (debug == nullptr) return 0;
  state.debug.store(debug);
  return 1;
}

int Driver::PollDebugMode(DebugState* debug) {
  return debug != nullptr && state.debug.load() == debug ? 1 : 0;
}

void Driver::EndDebugMode(DebugState* debug) {
  if (debug != nullptr) debug->action.store(0);
}

Driver& TheDriver() {
  // Never destroyed: a link thread that outlived its bounded shutdown wait must not find its
  // driver gone.
  static Driver* const driver = new Driver();
  return *driver;
}

}  // namespace heatdiag::hbus
