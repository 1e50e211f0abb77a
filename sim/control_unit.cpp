#include "control_unit.h"

#include <algorithm>
#include <cmath>

#include "units.h"

namespace heatsim {
namespace {

constexpr std::uint8_t kPositive = 0x80;
constexpr std::uint8_t kNakCommand = 0x7F;
constexpr std::uint8_t kUnitAddress = 0x4;
// The longest telegram the unit takes in: length byte 32, as the bus defines it.
constexpr std::size_t kMaxLength = 32;

std::uint8_t Hi(int v) {
  return static_cast<std::uint8_t>((v >> 8) & 0xFF);
}
std::uint8_t Lo(int v) {
  return static_cast<std::uint8_t>(v & 0xFF);
}

void Put16(Bytes* out, int v) {
  out->push_back(Hi(v));
  out->push_back(Lo(v));
}

// Temperatures from 3.0 are sent as degrees + 50.
std::uint8_t TemperatureByte(double celsius) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(celsius) + 50, 0L, 255L));
}

// Signed tenths, as the extended values carry them.
void PutTenths(Bytes* out, double value) {
  const long tenths = std::clamp(std::lround(value * 10.0), -32768L, 32767L);
  Put16(out, static_cast<int>(static_cast<std::uint16_t>(static_cast<std::int16_t>(tenths))));
}

// Reply data beginning with `first`. The room for a whole telegram is taken at once (which
// also keeps GCC 12 from a false array-bounds warning on the inserts that follow).
Bytes Data(std::initializer_list<std::uint8_t> first) {
  Bytes d;
  d.reserve(32);
  d.insert(d.end(), first.begin(), first.end());
  return d;
}

void PutHoursMinutes(Bytes* out, std::int64_t minutes) {
  Put16(out, static_cast<int>(std::min<std::int64_t>(minutes / 60, 0xFFFE)));
  out->push_back(static_cast<std::uint8_t>(minutes % 60));
}

}  // namespace

std::uint8_t Xor(std::span<const std::uint8_t> bytes) {
  std::uint8_t x = 0;
  for (const std::uint8_t b : bytes) x ^= b;
  return x;
}

ControlUnit::ControlUnit(const Scenario& scenario, Clock clock)
    : scenario_(scenario),
      clock_(std::move(clock)),
      model_(scenario, clock_()),
      eeprom_(scenario.eeprom.content),
      faults_(scenario.faults),
      co2Value_(scenario.co2Value) {}

HeaterModel& ControlUnit::Model() {
  model_.AdvanceTo(clock_());
  return model_;
}

std::uint8_t ControlUnit::Mode() {
  return Model().Mode();
}
std::uint8_t ControlUnit::StateCode() {
  return Model().StateCode();
}

Answer ControlUnit::Reply(std::uint8_t command, const Bytes& data) const {
  Answer a;
  a.bytes.reserve(data.size() + 4);
  a.bytes.push_back(replyHeader_);
  a.bytes.push_back(static_cast<std::uint8_t>(data.size() + 2));
  a.bytes.push_back(static_cast<std::uint8_t>(command | kPositive));
  a.bytes.insert(a.bytes.end(), data.begin(), data.end());
  a.bytes.push_back(Xor(a.bytes));
  return a;
}

Bytes ControlUnit::Nak(std::uint8_t requestHeader, std::uint8_t code) const {
  Bytes b = {static_cast<std::uint8_t>(kUnitAddress << 4 | requestHeader >> 4), 0x03, kNakCommand,
             code};
  b.push_back(Xor(b));
  return b;
}

Answer ControlUnit::Refuse(std::uint8_t code) const {
  Answer a;
  a.bytes = {replyHeader_, 0x03, kNakCommand, code};
  a.bytes.push_back(Xor(a.bytes));
  a.nak = true;
  return a;
}

Answer ControlUnit::OnTelegram(std::span<const std::uint8_t> telegram) {
  if (telegram.size() < 4) return {};
  // The answer goes back to whoever asked.
  replyHeader_ = static_cast<std::uint8_t>(kUnitAddress << 4 | telegram[0] >> 4);
  if (telegram[1] > kMaxLength) return Refuse(kNakGeneralReject);
  model_.AdvanceTo(clock_());
  const std::uint8_t command = telegram[2];
  const auto data = telegram.subspan(3, telegram.size() - 4);
  const bool v3 = scenario_.IsV3();
  const auto exact = [&](std::size_t n) { return data.size() == n; };

  switch (command) {
    case 0x10:
      if (!exact(0)) return Refuse(kNakGeneralReject);
      model_.SwitchOff();
      return Reply(command, {});
    case 0x20:
    case 0x21:
    case 0x22:
    case 0x23:
    case 0x24:
    case 0x25:
    case 0x26:
    case 0x27:
      return OperatingMode(command, data);
    case 0x30:
      if (!exact(2)) return Refuse(kNakGeneralReject);
      return Reply(command, {data[0], data[1], 0x00});
    case 0x31:
    case 0x37:
      // Service commands of the production line: acknowledged as given.
      return Reply(command, Bytes(data.begin(), data.end()));
    case 0x32:
      return CellRead(data);
    case 0x33:
      return CellWrite(data);
    case 0x34:
      return BlockSwitch(data);
    case 0x38:
      return Layout(data);
    case 0x42:
      return Calibration(data);
    case 0x43:
      if (!exact(1)) return Refuse(kNakGeneralReject);
      return Reply(command, {0x00});
    case 0x44:
      return KeepAlive(data);
    case 0x45:
      if (!v3) return Refuse(kNakRequestNotSupported);
      return ComponentTest(data);
    case 0x50:
      return Status(data);
    case 0x51:
      return Identify(data);
    case 0x52:
      if (v3) return Refuse(kNakRequestNotSupported);
      if (!exact(0)) return Refuse(kNakGeneralReject);
      faults_.clear();
      return Reply(command, {});
    case 0x53:
      if (data.empty()) return Refuse(kNakGeneralReject);
      if (data[0] == 0x02) return Thresholds(data);
      return Co2V1(data);
    case 0x56:
      if (!v3) return Refuse(kNakRequestNotSupported);
      return Faults(data);
    case 0x57:
      if (!v3) return Refuse(kNakRequestNotSupported);
      return Co2(data);
    case 0x60:
      return v3 ? DebugOrExtended(data) : ComponentTestV1(data);
    default:
      return Refuse(kNakRequestNotSupported);
  }
}

Answer ControlUnit::OperatingMode(std::uint8_t command, std::span<const std::uint8_t> data) {
  const bool v3 = scenario_.IsV3();
  if (!v3 && command > 0x22) return Refuse(kNakRequestNotSupported);
  if (command == 0x25) {
    if (!data.empty()) return Refuse(kNakGeneralReject);
    if (!scenario_.HasCapability(0, 0x80)) return Refuse(kNakConditionsNotCorrect);
    if (model_.Boost() != Refusal::kNone) return Refuse(kNakConditionsNotCorrect);
    return Reply(command, {});
  }
  if (command == 0x26) {
    if (!data.empty()) return Refuse(kNakGeneralReject);
    return Reply(command, {});
  }
  const std::size_t expected = command == 0x27 ? 2 : 1;
  if (data.size() != expected) return Refuse(kNakGeneralReject);
  if (command == 0x24 && !scenario_.HasCapability(1, 0x20)) return Refuse(kNakConditionsNotCorrect);
  switch (model_.StartMode(command, data[0])) {
    case Refusal::kNone:
      return Reply(command, {data[0]});
    case Refusal::kConditions:
      return Refuse(kNakConditionsNotCorrect);
    case Refusal::kRange:
      return Refuse(kNakInvalidRange);
  }
  return Refuse(kNakGeneralReject);
}

Answer ControlUnit::KeepAlive(std::span<const std::uint8_t> data) {
  if (data.size() != 2) return Refuse(kNakGeneralReject);
  // 0: the mode goes on; anything else: it has ended.
  const bool running = model_.KeepAlive(data[0]);
  return Reply(0x44, {static_cast<std::uint8_t>(running ? 0x00 : 0x01)});
}

Answer ControlUnit::Calibration(std::span<const std::uint8_t> data) {
  const bool v3 = scenario_.IsV3();
  if (data.size() < 2 || data[1] != 0x00) return Refuse(kNakGeneralReject);
  const std::uint8_t what = data[0];
  if (what == 0x03) {
    if (data.size() != 3) return Refuse(kNakGeneralReject);
    switch (model_.StartFuelPrime(data[2] * 2u)) {
      case Refusal::kNone:
        return Reply(0x42, {what});
      case Refusal::kConditions:
        return Refuse(kNakConditionsNotCorrect);
      case Refusal::kRange:
        return Refuse(kNakInvalidRange);
    }
  }
  if (what != 0x01 && what != 0x02) return Refuse(kNakParameterNotSupported);
  if (data.size() != (v3 ? 4u : 3u)) return Refuse(kNakGeneralReject);
  if (what == 0x01) {
    const int mv = v3 ? data[2] << 8 | data[3] : OldVoltageMv(data[2]);
    if (mv < 6000 || mv > 32000) return Refuse(kNakInvalidRange);
    model_.CalibrateVoltage(mv);
  } else {
    const int mohm = v3 ? data[2] << 8 | data[3] : OldResistanceMohm(data[2]);
    if (mohm < 100 || mohm > 6000) return Refuse(kNakInvalidRange);
    model_.CalibrateGlowPlug(mohm);
  }
  return Reply(0x42, {what});
}

bool ControlUnit::Fitted(std::uint8_t component) const {
  const Scenario& s = scenario_;
  switch (static_cast<Component>(component)) {
    case Component::kFan:
      return s.HasCapability(1, 0x04);
    case Component::kFuelPump:
      return s.HasCapability(1, 0x10);
    case Component::kGlowPlug:
      return s.HasCapability(1, 0x08);
    case Component::kCirculatingPump:
      return s.HasCapability(1, 0x20);
    case Component::kVehicleFan:
      return s.HasCapability(1, 0x40);
    case Component::kYellowLed:
      return s.HasCapability(1, 0x80);
    case Component::kGreenLed:
      return s.HasCapability(2, 0x01);
    case Component::kSparkTransmitter:
      return s.HasCapability(2, 0x02);
    case Component::kSolenoidValve:
      return s.HasCapability(2, 0x04);
    case Component::kOperationIndicator:
      return s.HasCapability(3, 0x08);
    case Component::kNozzleHeating:
      return s.HasCapability(4, 0x80);
    case Component::kFlameIndicator:
      return s.HasCapability(4, 0x40);
    case Component::kNone:
      return true;
  }
  return false;
}

Answer ControlUnit::ComponentTest(std::span<const std::uint8_t> data) {
  if (data.size() != 4) return Refuse(kNakGeneralReject);
  const std::uint8_t component = data[0];
  if (!Fitted(component)) return Refuse(kNakInvalidRange);
  const auto value = static_cast<std::uint16_t>(data[2] << 8 | data[3]);
  switch (model_.StartComponent(static_cast<Component>(component), data[1], value)) {
    case Refusal::kNone:
      return Reply(0x45, {component});
    case Refusal::kConditions:
      return Refuse(kNakConditionsNotCorrect);
    case Refusal::kRange:
      return Refuse(kNakInvalidRange);
  }
  return Refuse(kNakGeneralReject);
}

Answer ControlUnit::ComponentTestV1(std::span<const std::uint8_t> data) {
  if (data.size() != 1) return Refuse(kNakGeneralReject);
  // The old units switch one output by its bit, at its working level, for a minute at most.
  struct Output {
    std::uint8_t bit;
    Component component;
    std::uint16_t value;
  };
  static constexpr Output kOutputs[] = {
      {0x10, Component::kFan, 200},      {0x04, Component::kFuelPump, 40},
      {0x20, Component::kGlowPlug, 200}, {0x08, Component::kCirculatingPump, 200},
      {0x40, Component::kVehicleFan, 0}, {0x02, Component::kYellowLed, 0},
      {0x01, Component::kGreenLed, 0},
  };
  const std::uint8_t bit = data[0];
  Refusal result = Refusal::kRange;
  if (bit == 0) result = model_.StartComponent(Component::kNone, 0, 0);
  for (const Output& o : kOutputs) {
    if (o.bit == bit) result = model_.StartComponent(o.component, 60, o.value);
  }
  if (result == Refusal::kConditions) return Refuse(kNakConditionsNotCorrect);
  if (result == Refusal::kRange) return Refuse(kNakInvalidRange);
  return Reply(0x60, {bit});
}

Answer ControlUnit::Status(std::span<const std::uint8_t> data) {
  if (data.empty()) return Refuse(kNakGeneralReject);
  const Scenario& s = scenario_;
  const bool v3 = s.IsV3();
  const std::uint8_t index = data[0];
  const auto only = [&](std::size_t n) { return data.size() == n; };
  const HeaterModel& m = model_;
  const Actuators& out = m.Outputs();
  Bytes d = Data({index});
  switch (index) {
    case 0x01: {  // fault memory slot (before 3.0)
      if (v3) return Refuse(kNakParameterNotSupported);
      if (!only(2)) return Refuse(kNakGeneralReject);
      return FaultSlot(data[1]);
    }
    case 0x02: {  // inputs
      if (!only(1)) return Refuse(kNakGeneralReject);
      const Inputs& in = s.inputs;
      const auto bits = [](bool low, bool high) {
        return static_cast<std::uint8_t>((low ? 0x01 : 0) | (high ? 0x10 : 0));
      };
      if (!v3) {
        d.push_back(static_cast<std::uint8_t>((in.mainSwitch ? 1 : 0) | (in.summer ? 2 : 0)));
        break;
      }
      d.push_back(bits(in.mainSwitch, in.supplementalRequest));
      d.push_back(bits(in.summer, in.pumpExternalControl));
      d.push_back(bits(in.economic, in.generator));
      d.push_back(bits(in.auxiliaryDrive, in.boost));
      if (s.version >= 0x32) d.push_back(in.ignition ? 0x01 : 0x00);
      break;
    }
    case 0x03: {  // component states
      if (!only(1)) return Refuse(kNakGeneralReject);
      std::uint8_t b = 0;
      if (v3) {
        const bool spark = s.HasCapability(2, 0x02);
        const bool valve = s.HasCapability(2, 0x04);
        if (out.fanHalfPercent > 0) b |= 0x01;
        if (spark ? out.sparkTransmitter : out.glowHalfPercent > 0) b |= 0x02;
        if (valve ? out.solenoidValve : out.fuelPumpTwentiethHz > 0) b |= 0x04;
        if (out.pumpHalfPercent > 0) b |= 0x08;
        if (out.vehicleFan) b |= 0x10;
        if (out.nozzleHeating) b |= 0x20;
        if (out.flame) b |= 0x40;
      } else {
        if (out.pumpHalfPercent > 0) b |= 0x08;
        if (out.fanHalfPercent > 0) b |= 0x10;
        if (out.glowHalfPercent > 0) b |= 0x20;
        if (out.fuelPumpTwentiethHz > 0) b |= 0x40;
        if (out.flame) b |= 0x80;
      }
      d.push_back(b);
      break;
    }
    case 0x04: {  // configuration
      if (!only(1)) return Refuse(kNakGeneralReject);
      const auto fuel =
          static_cast<std::uint8_t>((s.fuelType & 0x0F) | (s.pumpInIdlePeriod ? 0x10 : 0));
      if (v3) {
        d.insert(d.end(), {fuel, s.heatingLimit, s.ventilationFactor});
        break;
      }
      const int hz20 = out.fuelPumpTwentiethHz;
      // The old units send the pump's period in 1/100 s.
      const auto period = static_cast<std::uint8_t>(hz20 > 0 ? std::clamp(2000 / hz20, 1, 255) : 0);
      d.insert(d.end(), {OldVoltageByte(m.SupplyMv()), co2Value_, s.heatingLimit,
                         s.ventilationFactor, static_cast<std::uint8_t>(out.glowHalfPercent / 2),
                         period, static_cast<std::uint8_t>(out.fanHalfPercent / 2), fuel});
      break;
    }
    case 0x05: {  // measured values
      if (!only(1)) return Refuse(kNakGeneralReject);
      if (!v3) {
        d.push_back(OldTemperatureByte(m.TemperatureC()));
        d.push_back(OldVoltageByte(m.SupplyMv()));
        d.push_back(OldResistanceByte(m.GlowPlugMohm()));
        break;
      }
      d.push_back(TemperatureByte(m.TemperatureC()));
      Put16(&d, m.SupplyMv());
      d.push_back(out.flame ? 0x01 : 0x00);
      if (s.shortForms) {
        d.push_back(static_cast<std::uint8_t>(m.HeatingPercent() * 2));
      } else if (s.HasCapability(4, 0x10)) {
        Put16(&d, m.HeatingPowerW());
      } else {
        d.push_back(static_cast<std::uint8_t>(m.HeatingPercent() * 2));
        d.push_back(0x00);
      }
      Put16(&d, m.GlowPlugMohm());
      break;
    }
    case 0x06: {  // counters
      if (!only(1)) return Refuse(kNakGeneralReject);
      const ModelStart& c = m.Counters();
      PutHoursMinutes(&d, c.workingMinutes);
      PutHoursMinutes(&d, c.operatingMinutes);
      Put16(&d, static_cast<int>(c.startCount));
      break;
    }
    case 0x07: {  // operating state
      if (!only(1)) return Refuse(kNakGeneralReject);
      const ModelStart& c = m.Counters();
      const bool actualFault =
          std::any_of(faults_.begin(), faults_.end(),
                      [](const StoredFault& f) { return f.state == 2 || f.state == 3; });
      const auto flags =
          static_cast<std::uint8_t>((actualFault ? 0x01 : 0) | (m.OverheatFlag() ? 0x02 : 0) |
                                    (c.leanStartFlag ? 0x04 : 0) | (c.sleepFlag ? 0x08 : 0));
      if (!v3) {
        d.push_back(m.StateCode());
        d.push_back(flags);
        d.push_back(
            static_cast<std::uint8_t>((c.faultCounterPh & 0x0F) << 4 | (c.faultCounterSh & 0x0F)));
        d.push_back(c.flameInterruptions);
        break;
      }
      d.insert(d.end(), {m.StateCode(), m.StateNumber(), flags, c.faultCounterPh});
      if (!s.shortForms) d.push_back(c.faultCounterSh);
      d.push_back(c.flameInterruptions);
      break;
    }
    case 0x0A: {  // burning durations
      if (!v3 || !s.HasCapability(4, 0x08)) return Refuse(kNakParameterNotSupported);
      if (!only(1)) return Refuse(kNakGeneralReject);
      for (const std::int64_t minutes : m.Counters().burningMinutes) PutHoursMinutes(&d, minutes);
      break;
    }
    case 0x0B: {  // working durations parking / supplemental heating
      if (!v3) return Refuse(kNakParameterNotSupported);
      if (!only(1)) return Refuse(kNakGeneralReject);
      PutHoursMinutes(&d, m.Counters().workingPhMinutes);
      PutHoursMinutes(&d, m.Counters().workingShMinutes);
      break;
    }
    case 0x0C: {  // start counters
      if (!v3) return Refuse(kNakParameterNotSupported);
      if (!only(1)) return Refuse(kNakGeneralReject);
      Put16(&d, static_cast<int>(m.Counters().startsPh));
      Put16(&d, static_cast<int>(m.Counters().startsSh));
      Put16(&d, static_cast<int>(m.Counters().trsCount));
      break;
    }
    case 0x0F: {  // actuator levels
      if (!v3) return Refuse(kNakParameterNotSupported);
      if (!only(1)) return Refuse(kNakGeneralReject);
      d.push_back(static_cast<std::uint8_t>(out.glowHalfPercent));
      d.push_back(static_cast<std::uint8_t>(out.fuelPumpTwentiethHz));
      if (s.shortForms) {
        d.push_back(static_cast<std::uint8_t>(out.fanHalfPercent));
        break;
      }
      if (s.HasCapability(2, 0x20)) {
        Put16(&d, out.fanRpm);
      } else {
        d.push_back(static_cast<std::uint8_t>(out.fanHalfPercent));
        d.push_back(0x00);
      }
      if (s.version > 0x30) d.push_back(static_cast<std::uint8_t>(out.pumpHalfPercent));
      break;
    }
    case 0x11: {  // temperature thresholds
      if (s.version < 0x32 || !s.HasCapability(5, 0x40)) return Refuse(kNakParameterNotSupported);
      if (!only(1)) return Refuse(kNakGeneralReject);
      d.push_back(TemperatureByte(s.upperTemperatureC));
      d.push_back(TemperatureByte(s.lowerTemperatureC));
      break;
    }
    default:
      return Refuse(kNakParameterNotSupported);
  }
  return Reply(0x50, d);
}

Answer ControlUnit::FaultSlot(std::uint8_t slot) {
  if (slot < 1 || slot > 3) return Refuse(kNakInvalidRange);
  Bytes d = Data({0x01});
  if (slot > faults_.size()) {
    d.insert(d.end(), {0x00, 0x00, 0x00, 0x00, 0x00});
  } else {
    const StoredFault& f = faults_[slot - 1u];
    d.push_back(f.code);
    d.push_back(static_cast<std::uint8_t>((f.state & 0x03) << 5));
    d.push_back(f.counter);
    d.push_back(f.stateCode);
    d.push_back(OldTemperatureByte(f.temperatureC));
  }
  return Reply(0x50, d);
}

Answer ControlUnit::Identify(std::span<const std::uint8_t> data) {
  if (data.size() != 1) return Refuse(kNakGeneralReject);
  const Scenario& s = scenario_;
  const heatsim::Identification& id = s.id;
  const bool v3 = s.IsV3();
  const std::uint8_t index = data[0];
  Bytes d = Data({index});
  const auto append = [&d](const Bytes& b) { d.insert(d.end(), b.begin(), b.end()); };
  switch (index) {
    case 0x01:
      append(id.deviceNumber);
      d.push_back(static_cast<std::uint8_t>(id.deviceNumberSuffix));
      break;
    case 0x02:
      append(id.hardware);
      if (v3) {
        append(id.software);
        if (s.version >= 0x32) append(id.softwareEeprom);
      } else {
        d.insert(d.end(), id.software.begin(), id.software.begin() + 2);
      }
      break;
    case 0x03:
      append(id.datasetNumber);
      d.push_back(static_cast<std::uint8_t>(id.datasetSuffix));
      d.push_back(id.datasetDigit);
      break;
    case 0x04:
      append(id.unitDate);
      break;
    case 0x05:
      append(id.heaterDate);
      break;
    case 0x06:
      append(id.farstartCode);
      break;
    case 0x07:
      append(id.customerNumber);
      break;
    case 0x09:
      append(id.serialNumber);
      if (v3) {
        d.push_back(static_cast<std::uint8_t>(id.testSignature));
        d.push_back(id.testSignatureCode);
      }
      break;
    case 0x0A:
      d.push_back(s.version);
      break;
    case 0x0B: {
      std::string name = id.deviceName;
      name.resize(8, ' ');
      d.insert(d.end(), name.begin(), name.end());
      break;
    }
    case 0x0C:
      if (!v3) return Refuse(kNakParameterNotSupported);
      append(s.capabilities);
      break;
    default:
      return Refuse(kNakParameterNotSupported);
  }
  return Reply(0x51, d);
}

Answer ControlUnit::Thresholds(std::span<const std::uint8_t> data) {
  if (!scenario_.IsV3()) return Refuse(kNakParameterNotSupported);
  if (data.size() != 1) return Refuse(kNakGeneralReject);
  const Scenario& s = scenario_;
  Bytes d = Data({0x02});
  // Each threshold comes with the voltage at which the unit recovers and a reserve word.
  Put16(&d, s.minVoltageMv);
  Put16(&d, s.minVoltageMv + 500);
  Put16(&d, 0);
  d.push_back(s.minDelayS);
  Put16(&d, s.maxVoltageMv);
  Put16(&d, std::max(0, s.maxVoltageMv - 500));
  Put16(&d, 0);
  d.push_back(s.maxDelayS);
  return Reply(0x53, d);
}

Answer ControlUnit::Faults(std::span<const std::uint8_t> data) {
  if (data.empty()) return Refuse(kNakGeneralReject);
  switch (data[0]) {
    case 0x01: {
      if (data.size() != 1) return Refuse(kNakGeneralReject);
      Bytes d = Data({0x01, static_cast<std::uint8_t>(faults_.size())});
      for (const StoredFault& f : faults_) d.insert(d.end(), {f.code, f.state});
      return Reply(0x56, d);
    }
    case 0x02: {
      if (data.size() != 2) return Refuse(kNakGeneralReject);
      const auto it = std::find_if(faults_.begin(), faults_.end(),
                                   [&](const StoredFault& f) { return f.code == data[1]; });
      if (it == faults_.end()) return Refuse(kNakInvalidRange);
      Bytes d = Data({0x02, it->code, it->state, it->counter, it->stateCode, it->stateNumber,
                      TemperatureByte(it->temperatureC)});
      Put16(&d, it->voltageMv);
      Put16(&d, it->hours);
      d.push_back(it->minutes);
      return Reply(0x56, d);
    }
    case 0x03:
      if (data.size() != 1) return Refuse(kNakGeneralReject);
      faults_.clear();
      return Reply(0x56, {0x03});
    default:
      return Refuse(kNakParameterNotSupported);
  }
}

Answer ControlUnit::Co2(std::span<const std::uint8_t> data) {
  if (data.empty()) return Refuse(kNakGeneralReject);
  if (!scenario_.HasCapability(3, 0x02)) return Refuse(kNakParameterNotSupported);
  const Scenario& s = scenario_;
  switch (data[0]) {
    case 0x01:
      if (data.size() != 1) return Refuse(kNakGeneralReject);
      return Reply(0x57, {0x01, co2Value_, s.co2Min, s.co2Max});
    case 0x02:  // trim on the cold unit; 0 ends the adjustment
    case 0x03:  // trim in combustion at full load
      if (data.size() != 2) return Refuse(kNakGeneralReject);
      if (data[0] == 0x02 && data[1] == 0) return Reply(0x57, {0x02});
      if (data[0] == 0x03 && !model_.FullLoad()) return Refuse(kNakConditionsNotCorrect);
      if (data[1] < s.co2Min || data[1] > s.co2Max) return Refuse(kNakInvalidRange);
      co2Value_ = data[1];
      return Reply(0x57, {data[0]});
    default:
      return Refuse(kNakParameterNotSupported);
  }
}

Answer ControlUnit::Co2V1(std::span<const std::uint8_t> data) {
  if (scenario_.IsV3()) return Refuse(kNakParameterNotSupported);
  if (data[0] != 0x04 && data[0] != 0x05) return Refuse(kNakParameterNotSupported);
  if (data.size() != 2) return Refuse(kNakGeneralReject);
  if (data[0] == 0x05 && data[1] == 0) return Reply(0x53, {0x05});
  if (data[0] == 0x04 && !model_.FullLoad()) return Refuse(kNakConditionsNotCorrect);
  if (data[1] < scenario_.co2Min || data[1] > scenario_.co2Max) return Refuse(kNakInvalidRange);
  co2Value_ = data[1];
  return Reply(0x53, {data[0]});
}

Bytes ControlUnit::DebugStatusBytes(std::uint8_t command) {
  const DebugStatus st = model_.Debug();
  Bytes d = Data({command, st.state});
  Put16(&d, st.runTimeSet);
  Put16(&d, st.runTimeActual);
  d.push_back(st.lastState);
  d.push_back(st.lastJump);
  d.push_back(st.active ? 0x01 : 0x00);
  return d;
}

Answer ControlUnit::DebugOrExtended(std::span<const std::uint8_t> data) {
  if (data.empty()) return Refuse(kNakGeneralReject);
  const Scenario& s = scenario_;
  const HeaterModel& m = model_;
  const std::uint8_t index = data[0];
  if (index == 0x98 || index == 0x99) {
    if (s.version < 0x31) return Refuse(kNakParameterNotSupported);
    if (data.size() != 1) return Refuse(kNakGeneralReject);
    Bytes d = Data({index});
    if (index == 0x98) {
      Put16(&d, m.GlowPlugMohm());
      return Reply(0x60, d);
    }
    const double t = m.TemperatureC();
    const bool flame = m.Outputs().flame;
    const double ambient = s.model.ambientC;
    const double board = ambient + 12.0 + 0.1 * (t - ambient);
    PutTenths(&d, t + (flame ? 4.0 : 0.5));        // overheat sensor
    PutTenths(&d, m.TemperatureGradient());        // its gradient
    PutTenths(&d, m.TemperatureGradient() * 0.8);  // application monitoring gradient
    PutTenths(&d, flame ? t + 15.0 : t);           // outlet
    PutTenths(&d, t);                              // water temperature
    PutTenths(&d, board);                          // circuit board
    PutTenths(&d, s.model.potentiometerC);
    d.insert(d.end(), {0x00, 0x00});
    const auto pwm = static_cast<std::uint8_t>(m.Outputs().fanHalfPercent * 255 / 200);
    d.push_back(pwm);  // actual
    d.push_back(pwm);  // set
    PutTenths(&d, m.TemperatureGradient() * 0.1);
    return Reply(0x60, d);
  }
  if (!s.debugMode) return Refuse(kNakRequestNotSupported);
  static constexpr DebugAction kActions[] = {DebugAction::kLeave, DebugAction::kHalt,
                                             DebugAction::kRun,   DebugAction::kHalt,
                                             DebugAction::kStep,  DebugAction::kStepNow};
  if (index <= 0x05) {
    // The tester may pad the short commands with a zero byte.
    if (data.size() > 2) return Refuse(kNakGeneralReject);
    if (index != 0x01 && !model_.Debug(kActions[index])) return Refuse(kNakConditionsNotCorrect);
    return Reply(0x60, DebugStatusBytes(index));
  }
  if (index == 0x06) {
    if (data.size() != 2) return Refuse(kNakGeneralReject);
    if (!model_.Debug().active) return Refuse(kNakConditionsNotCorrect);
    if (!model_.DebugSetState(data[1])) return Refuse(kNakInvalidRange);
    return Reply(0x60, DebugStatusBytes(index));
  }
  return Refuse(kNakParameterNotSupported);
}

std::uint8_t ControlUnit::WriteCell(std::size_t address, std::uint8_t value) {
  const auto& stuck = scenario_.eeprom.stuck;
  if (std::find(stuck.begin(), stuck.end(), address) == stuck.end()) eeprom_[address] = value;
  return eeprom_[address];
}

Answer ControlUnit::CellRead(std::span<const std::uint8_t> data) {
  if (data.size() != 2) return Refuse(kNakGeneralReject);
  const std::size_t address = std::size_t{data[0]} << 8 | data[1];
  if (address >= eeprom_.size()) return Refuse(kNakInvalidRange);
  return Reply(0x32, {data[0], data[1], eeprom_[address]});
}

Answer ControlUnit::CellWrite(std::span<const std::uint8_t> data) {
  if (data.size() != 3) return Refuse(kNakGeneralReject);
  const std::size_t address = std::size_t{data[0]} << 8 | data[1];
  if (address >= eeprom_.size()) return Refuse(kNakInvalidRange);
  return Reply(0x33, {data[0], data[1], WriteCell(address, data[2])});
}

Answer ControlUnit::BlockSwitch(std::span<const std::uint8_t> data) {
  if (data.size() != 2) return Refuse(kNakGeneralReject);
  const std::uint8_t code = data[0];
  int rate = 0;
  if (scenario_.IsV3()) {
    rate = code * 300;
    if (rate < 2400 || rate > 38400) return Refuse(kNakInvalidRange);
  } else {
    // The old units know three rates, by code.
    if (code == 0x96) rate = 9600;
    if (code == 0x48) rate = 4800;
    if (code == 0x24) rate = 2400;
    if (rate == 0) return Refuse(kNakInvalidRange);
  }
  const std::size_t page = data[1];
  if (page * 256 >= eeprom_.size()) return Refuse(kNakInvalidRange);
  Answer a = Reply(0x34, {code});
  a.rateAfter = rate;
  blockMode_ = true;
  page_ = page;
  rate_ = rate;
  return a;
}

Answer ControlUnit::Layout(std::span<const std::uint8_t> data) {
  if (!scenario_.IsV3()) return Refuse(kNakRequestNotSupported);
  if (!data.empty()) return Refuse(kNakGeneralReject);
  const EepromSetup& e = scenario_.eeprom;
  Bytes d = Data({static_cast<std::uint8_t>(e.sizeExponent)});
  Put16(&d, e.start);
  Put16(&d, e.checksumEnd);
  Put16(&d, e.checksumAddress);
  return Reply(0x38, d);
}

std::size_t ControlUnit::BlockFrameRest(std::uint8_t first) const {
  switch (first) {
    case 0x03:
      return 2;
    case 0x04:
      return 3;
    case 0x05:
      return 2;
    case 0x09:
      // Units of 3.0 and 3.1 take the end frame with a repeated 09.
      return scenario_.version == 0x30 || scenario_.version == 0x31 ? 2 : 1;
    default:
      return 0;
  }
}

void ControlUnit::LeaveBlockMode() {
  blockMode_ = false;
  rate_ = kHBusRate;
}

Answer ControlUnit::OnBlockFrame(std::span<const std::uint8_t> frame) {
  if (frame.empty() || !blockMode_) return {};
  const bool v3 = scenario_.IsV3();
  Answer a;
  switch (frame[0]) {
    case 0x03: {
      const std::size_t address = page_ * 256 + frame[1];
      if (address >= eeprom_.size()) return {};
      if (v3) a.bytes = {0x03, frame[1], eeprom_[address]};
      if (!v3) a.bytes = {frame[1], eeprom_[address]};
      break;
    }
    case 0x04: {
      const std::size_t address = page_ * 256 + frame[1];
      if (address >= eeprom_.size()) return {};
      const std::uint8_t stored = WriteCell(address, frame[2]);
      if (v3) a.bytes = {0x04, frame[1], stored};
      if (!v3) a.bytes = {frame[1], stored};
      break;
    }
    case 0x05: {
      if (scenario_.version < 0x32) return {};
      const std::size_t page = frame[1];
      if (page * 256 >= eeprom_.size()) return {};
      page_ = page;
      a.bytes = {0x05, frame[1]};
      break;
    }
    case 0x09:
      a.bytes = {0x09, 0x09};
      a.rateAfter = kHBusRate;
      blockMode_ = false;
      rate_ = kHBusRate;
      break;
    default:
      return {};
  }
  a.bytes.push_back(Xor(a.bytes));
  return a;
}

}  // namespace heatsim
