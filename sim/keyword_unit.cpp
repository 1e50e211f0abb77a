#include "keyword_unit.h"

#include <algorithm>
#include <numeric>

#include "units.h"

namespace heatsim {
namespace {

constexpr std::uint8_t kPositive = 0x40;
constexpr std::uint8_t kNegative = 0x7F;
constexpr std::size_t kMaxData = 32;
constexpr std::uint8_t kGasoline = 0xB;
// The early H-Bus units number their operating states as the water heaters of the keyword link
// do; the model reports that numbering for a unit before 3.0.
constexpr std::uint8_t kStateNumbering = 0x15;
// The mode the heater runs in when the scenario has it burning, and for how long at a time.
constexpr std::uint8_t kParkingHeating = 0x21;
constexpr std::uint8_t kRunMinutes = 255;
// A component switched on by the component test stays on this long unless switched off.
constexpr std::uint8_t kComponentSeconds = 255;

std::uint8_t Sum(std::span<const std::uint8_t> bytes) {
  return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u) & 0xFFu);
}

Scenario ModelScenario(const Scenario& s) {
  Scenario m = s;
  m.version = kStateNumbering;
  m.capabilities.clear();
  // The keyword link has no keep-alive: a running heater is kept alive by the unit itself.
  m.model.keepAliveTimeoutS = 3600;
  return m;
}

struct TestedComponent {
  std::uint8_t bit;
  Component component;
  std::uint16_t level;  // the model's unit: half percent, 1/20 Hz
};

// The component test's bit mask, as the tester numbers the components 1 to 5.
constexpr TestedComponent kTested[] = {
    {0x01, Component::kCirculatingPump, 200}, {0x02, Component::kFan, 200},
    {0x04, Component::kGlowPlug, 200},        {0x08, Component::kFuelPump, 40},
    {0x10, Component::kVehicleFan, 0},
};
constexpr std::uint8_t kAllComponents = 0x1F;

}  // namespace

std::uint16_t KeywordAccessKey(std::uint16_t seed) {
  const auto x = static_cast<std::uint16_t>(seed ^ 0x2F6B);
  const auto rotated = static_cast<std::uint16_t>((x << 5) | (x >> 11));
  return static_cast<std::uint16_t>(rotated + 0x1357);
}

KeywordUnit::KeywordUnit(const Scenario& scenario, Clock clock)
    : scenario_(scenario),
      clock_(std::move(clock)),
      model_(ModelScenario(scenario), clock_()),
      faults_(scenario.keyword.faults),
      co2Value_(scenario.co2Value),
      seeds_(scenario.model.seed ^ 0x2705u) {
  seed_ = static_cast<std::uint16_t>(seeds_() | 1u);
  Model();
}

HeaterModel& KeywordUnit::Model() {
  model_.AdvanceTo(clock_());
  if (scenario_.keyword.heaterRunning && !model_.KeepAlive(kParkingHeating) && model_.Resting()) {
    model_.StartMode(kParkingHeating, kRunMinutes);
  }
  return model_;
}

// ---- receiver

void KeywordUnit::Drop(std::string_view why) {
  frame_.clear();
  expected_ = 0;
  ++dropped_;
  lastDrop_ = why;
}

std::optional<Bytes> KeywordUnit::Feed(std::uint8_t byte, TimePoint at) {
  const bool afterPause = !haveLast_ || at - last_ >= kFrameGap;
  haveLast_ = true;
  last_ = at;
  if (!frame_.empty() && afterPause) Drop("incomplete");
  if (frame_.empty()) {
    // Only a format byte begins a frame; anything else (the break of the wake-up, noise) is
    // skipped and the next byte is tried.
    if (byte < 0x80) {
      Drop("no format byte");
      return std::nullopt;
    }
    const std::size_t n = byte & 0x7F;
    if (n < 1 || n > kMaxData) {
      Drop("invalid length");
      return std::nullopt;
    }
    expected_ = n + 4;
  }
  frame_.push_back(byte);
  if (frame_.size() < expected_) return std::nullopt;
  Bytes complete;
  complete.swap(frame_);
  expected_ = 0;
  return complete;
}

bool KeywordUnit::Expire(TimePoint now) {
  if (frame_.empty() || now - last_ < kFrameGap) return false;
  Drop("incomplete");
  return true;
}

std::optional<TimePoint> KeywordUnit::Deadline() const {
  if (frame_.empty()) return std::nullopt;
  return last_ + kFrameGap;
}

std::optional<RequestInfo> KeywordUnit::Check(std::span<const std::uint8_t> frame,
                                              std::string* why) const {
  if (frame.size() < 5 || Sum(frame.first(frame.size() - 1)) != frame.back()) {
    *why = "dropped: checksum";
    return std::nullopt;
  }
  if (frame[1] != scenario_.keyword.address) {
    *why = "not for the unit:";
    return std::nullopt;
  }
  RequestInfo r;
  r.command = frame[3];
  if (frame.size() >= 6) r.index = frame[4];
  return r;
}

void KeywordUnit::CorruptEcho(std::span<std::uint8_t> echo) const {
  if (echo.size() < 5) return;
  // The last data byte changes and the sum with it: a well-formed frame, not the request.
  std::uint8_t& data = echo[echo.size() - 2];
  const std::uint8_t before = data;
  data ^= 0x01;
  echo.back() = static_cast<std::uint8_t>(echo.back() + data - before);
}

// ---- answers

Bytes KeywordUnit::Frame(std::span<const std::uint8_t> data) const {
  return FrameTo(tester_, data);
}

Bytes KeywordUnit::FrameTo(std::uint8_t target, std::span<const std::uint8_t> data) const {
  Bytes f;
  f.reserve(data.size() + 4);
  f.push_back(static_cast<std::uint8_t>(0x80 + data.size()));
  f.push_back(target);
  f.push_back(scenario_.keyword.address);
  f.insert(f.end(), data.begin(), data.end());
  f.push_back(Sum(f));
  return f;
}

Answer KeywordUnit::Reply(std::initializer_list<std::uint8_t> first,
                          std::span<const std::uint8_t> rest) const {
  Bytes data(first);
  data.insert(data.end(), rest.begin(), rest.end());
  Answer a;
  a.bytes = Frame(data);
  return a;
}

Answer KeywordUnit::Negative(std::uint8_t service, std::uint8_t code) const {
  Answer a;
  const std::uint8_t data[] = {kNegative, service, code};
  a.bytes = Frame(data);
  a.nak = true;
  return a;
}

Bytes KeywordUnit::Refuse(std::span<const std::uint8_t> frame, std::uint8_t code) const {
  const std::uint8_t data[] = {kNegative, frame[3], code};
  return FrameTo(frame[2], data);
}

Answer KeywordUnit::Respond(std::span<const std::uint8_t> frame, TimePoint) {
  tester_ = frame[2];
  const auto data = frame.subspan(3, frame.size() - 4);
  const std::uint8_t service = data[0];
  const auto exact = [&](std::size_t n) { return data.size() == n; };
  Model();
  switch (service) {
    case 0x81:  // start communication: a new session
      if (!exact(1)) return Negative(service, kKwpInvalidFormat);
      seed_ = static_cast<std::uint16_t>(seeds_() | 1u);
      seedSent_ = false;
      return Reply({static_cast<std::uint8_t>(service | kPositive)}, scenario_.keyword.keyBytes);
    case 0x10:  // start diagnostic session
      if (!exact(2)) return Negative(service, kKwpInvalidFormat);
      if (data[1] != 0x81) return Negative(service, kKwpInvalidFormat);
      return Reply({0x50, data[1]});
    case 0x1A:
      return Identification(data);
    case 0x27:
      return SecurityAccess(data);
    case 0x21:
      return ReadLocal(data);
    case 0x18:
      return FaultList(data);
    case 0x17:
      return FaultStatus(data);
    case 0x14:  // clear the fault memory
      if (!exact(3)) return Negative(service, kKwpInvalidFormat);
      faults_.clear();
      return Reply({0x54, data[1], data[2]});
    case 0x30:
      return ComponentTest(data);
    case 0x3B:
      return WriteLocal(data);
    case 0x31:  // start routine 0x03
      if (!exact(2)) return Negative(service, kKwpInvalidFormat);
      if (data[1] != 0x03) return Negative(service, kKwpRequestOutOfRange);
      return Reply({0x71, 0x31, 0x23});
    default:
      return Negative(service, kKwpServiceNotSupported);
  }
}

Answer KeywordUnit::Identification(std::span<const std::uint8_t> data) const {
  if (data.size() != 2) return Negative(data[0], kKwpInvalidFormat);
  const KeywordSetup& k = scenario_.keyword;
  const std::uint8_t id = data[1];
  const auto text = [](const std::string& s) {
    return std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
  };
  switch (id) {
    case 0x80: {
      Bytes rest = k.customerId;
      rest.insert(rest.end(), k.customerData.begin(), k.customerData.end());
      return Reply({0x5A, id}, rest);
    }
    case 0x92:
      return Reply({0x5A, id}, text(k.deviceNumber));
    case 0x93:
      return Reply({0x5A, id, k.hardwareVersion});
    case 0x94:
      return Reply({0x5A, id}, text(k.datasetNumber));
    case 0x95:
      return Reply({0x5A, id, k.softwareMajor, k.softwareMinor});
    default:
      return Negative(data[0], kKwpRequestOutOfRange);
  }
}

Answer KeywordUnit::SecurityAccess(std::span<const std::uint8_t> data) {
  if (data.size() < 2) return Negative(data[0], kKwpInvalidFormat);
  switch (data[1]) {
    case 0x05:
      if (data.size() != 2) return Negative(data[0], kKwpInvalidFormat);
      seedSent_ = true;
      return Reply({0x67, 0x05, static_cast<std::uint8_t>(seed_ >> 8),
                    static_cast<std::uint8_t>(seed_ & 0xFF)});
    case 0x06: {
      if (data.size() != 4) return Negative(data[0], kKwpInvalidFormat);
      if (scenario_.keyword.acceptAnyKey) return Reply({0x67, 0x06});
      if (!seedSent_) return Negative(data[0], kKwpConditionsNotCorrect);
      const auto key = static_cast<std::uint16_t>(data[2] << 8 | data[3]);
      if (key != KeywordAccessKey(seed_)) return Negative(data[0], kKwpInvalidKey);
      return Reply({0x67, 0x06});
    }
    default:
      return Negative(data[0], kKwpInvalidFormat);
  }
}

Answer KeywordUnit::ReadLocal(std::span<const std::uint8_t> data) {
  if (data.size() != 2) return Negative(data[0], kKwpInvalidFormat);
  const std::uint8_t id = data[1];
  const HeaterModel& m = model_;
  const Actuators& out = m.Outputs();
  switch (id) {
    case 0x36:
      return Reply({0x61, id, co2Value_});
    case 0x81:
      return Reply({0x61, id, 0x00, OldTemperatureByte(m.TemperatureC()),
                    OldResistanceByte(m.GlowPlugMohm()), OldVoltageByte(m.SupplyMv()),
                    OldVoltageByte(scenario_.minVoltageMv), m.StateCode()});
    case 0x82: {
      const int period = scenario_.keyword.fuelPumpPeriod;
      std::uint8_t pump = 0;
      if (period >= 0) {
        pump = static_cast<std::uint8_t>(period);
      } else if (out.fuelPumpTwentiethHz > 0) {
        // The period in 1/100 s: 100 / period is the frequency in Hz.
        pump = static_cast<std::uint8_t>(
            std::clamp(static_cast<int>(std::lround(2000.0 / out.fuelPumpTwentiethHz)), 1, 255));
      }
      std::uint8_t components = 0;
      if (out.fanHalfPercent > 0) components |= 0x01;
      if (out.glowHalfPercent > 0) components |= 0x02;
      if (out.pumpHalfPercent > 0) components |= 0x04;
      if (out.fuelPumpTwentiethHz > 0) components |= 0x08;
      if (out.vehicleFan) components |= 0x10;
      const Inputs& in = scenario_.inputs;
      std::uint8_t inputs = 0;
      if (in.summer) inputs |= 0x01;
      if (scenario_.fuelType == kGasoline) inputs |= 0x02;
      if (in.mainSwitch) inputs |= 0x04;
      if (in.supplementalRequest) inputs |= 0x08;
      if (out.flame) inputs |= 0x20;
      if (m.OverheatFlag()) inputs |= 0x40;
      const auto fan = static_cast<std::uint8_t>(std::min(out.fanHalfPercent, 200) * 255 / 200);
      const auto glow = static_cast<std::uint8_t>(std::min(out.glowHalfPercent, 200) / 2);
      return Reply({0x61, id, 0x00, fan, glow, 0x00, pump, components, inputs});
    }
    default:
      return Negative(data[0], kKwpRequestOutOfRange);
  }
}

Answer KeywordUnit::FaultList(std::span<const std::uint8_t> data) const {
  if (data.size() != 4) return Negative(data[0], kKwpInvalidFormat);
  Bytes rest;
  for (const KeywordFault& f : faults_) {
    rest.insert(rest.end(), {static_cast<std::uint8_t>(f.code >> 8),
                             static_cast<std::uint8_t>(f.code & 0xFF), f.status});
  }
  return Reply({0x58, static_cast<std::uint8_t>(faults_.size())}, rest);
}

Answer KeywordUnit::FaultStatus(std::span<const std::uint8_t> data) const {
  if (data.size() != 3) return Negative(data[0], kKwpInvalidFormat);
  const auto code = static_cast<std::uint16_t>(data[1] << 8 | data[2]);
  const auto it = std::find_if(faults_.begin(), faults_.end(),
                               [code](const KeywordFault& f) { return f.code == code; });
  if (it == faults_.end()) return Negative(data[0], kKwpRequestOutOfRange);
  return Reply({0x57, 0x01, data[1], data[2], it->status, it->counter,
                OldTemperatureByte(it->temperatureC), it->flameDetector,
                OldVoltageByte(it->voltageMv), it->fuelPump, it->fan, it->glowPlug});
}

Answer KeywordUnit::ComponentTest(std::span<const std::uint8_t> data) {
  if (data.size() != 4 || data[2] != 0x07) return Negative(data[0], kKwpInvalidFormat);
  const std::uint8_t mask = data[1];
  const std::uint8_t state = data[3];
  if (state > 1 || mask == 0 || (mask & ~kAllComponents) != 0) {
    return Negative(data[0], kKwpRequestOutOfRange);
  }
  if (state == 0) {
    // Off: the component named (or all of them); one that is not on is simply acknowledged.
    if ((mask & tested_) != 0) {
      model_.StartComponent(Component::kNone, 0, 0);
      tested_ = 0;
    }
    return Reply({0x70, mask, 0x07, state});
  }
  const auto it = std::find_if(std::begin(kTested), std::end(kTested),
                               [mask](const TestedComponent& t) { return t.bit == mask; });
  if (it == std::end(kTested)) return Negative(data[0], kKwpRequestOutOfRange);
  switch (model_.StartComponent(it->component, kComponentSeconds, it->level)) {
    case Refusal::kNone:
      tested_ = mask;
      return Reply({0x70, mask, 0x07, state});
    case Refusal::kConditions:
      return Negative(data[0], kKwpConditionsNotCorrect);
    case Refusal::kRange:
      break;
  }
  return Negative(data[0], kKwpRequestOutOfRange);
}

Answer KeywordUnit::WriteLocal(std::span<const std::uint8_t> data) {
  if (data.size() != 4) return Negative(data[0], kKwpInvalidFormat);
  if (data[1] != 0x36) return Negative(data[0], kKwpRequestOutOfRange);
  const std::uint8_t value = data[2];
  if (value < scenario_.co2Min || value > scenario_.co2Max) {
    return Negative(data[0], kKwpRequestOutOfRange);
  }
  co2Value_ = value;
  return Reply({0x7B, data[1]});
}

}  // namespace heatsim
