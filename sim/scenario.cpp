#include "scenario.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

namespace heatsim {
namespace {

using Json = nlohmann::json;

// The demonstration unit: everything a 3.2 unit reports, two stored faults.
constexpr std::string_view kV32 = R"({
  "name": "v3.2",
  "version": "3.2",
  "capabilities": "F8 7F 38 22 58 60 00 00",
  "debugMode": true,
  "identification": {
    "deviceName": "HYDRO 5",
    "deviceNumber": "25221705", "deviceNumberSuffix": "C",
    "hardware": "0310", "software": "21150312", "softwareEeprom": "21150312",
    "datasetNumber": "25221726", "datasetSuffix": "B", "datasetDigit": 2,
    "unitDate": "140621", "heaterDate": "290621",
    "farstartCode": "0001", "customerNumber": "4B56524C",
    "serialNumber": "0001F2A7", "testSignature": "P", "testSignatureCode": 21
  },
  "configuration": {"fuelType": "diesel", "pumpInIdlePeriod": true,
                    "heatingLimitMinutes": 60, "ventilationFactor": "1/1"},
  "thresholds": {"minVoltage": 10.5, "maxVoltage": 16.0, "minDelay": 20, "maxDelay": 20,
                 "upperTemperature": 80, "lowerTemperature": 70},
  "co2": {"value": 120, "min": 100, "max": 140},
  "inputs": {"mainSwitch": true, "supplementalRequest": false, "summer": false,
             "pumpExternalControl": false, "economic": false, "generator": true,
             "auxiliaryDrive": false, "boost": false, "ignition": true},
  "model": {"ambientTemperature": 12, "temperature": 12, "supplyVoltage": 12.6, "noise": 0.04,
            "seed": 1, "glowPlugResistance": 0.6, "keepAliveTimeout": 20,
            "workingHours": "412:37", "operatingHours": "386:12", "startCount": 1184,
            "workingHoursPH": "301:10", "workingHoursSH": "85:02", "startsPH": 902,
            "startsSH": 282, "trsCount": 3,
            "burningDurations": ["12:40", "88:05", "190:51", "9:44",
                                 "3:10", "20:33", "61:19", "0:00"],
            "faultCounterPH": 2, "faultCounterSH": 0, "flameInterruptions": 1},
  "faults": [
    {"code": "0x0A", "state": 1, "counter": 3, "stateCode": "0x34", "stateNumber": 0,
     "temperature": 4, "voltage": 12.21, "time": "398:51"},
    {"code": "0x51", "state": 1, "counter": 1, "stateCode": "0x06", "stateNumber": 0,
     "temperature": 71, "voltage": 10.14, "time": "402:10"}
  ],
  "eeprom": {"size": 1024, "start": "0x020", "checksumEnd": "0x3FE", "checksumAddress": "0x3FF",
             "fill": "pattern"}
})";

constexpr std::string_view kV31 = R"({
  "name": "v3.1",
  "version": "3.1",
  "capabilities": "F0 3F 10 22 48 20",
  "debugMode": true,
  "identification": {
    "deviceName": "HYDRO 4",
    "deviceNumber": "25219105", "deviceNumberSuffix": "B",
    "hardware": "0207", "software": "19420208",
    "softwareEeprom": "00000000",
    "datasetNumber": "25219126", "datasetSuffix": "A", "datasetDigit": 1,
    "unitDate": "021118", "heaterDate": "191118",
    "farstartCode": "0000", "customerNumber": "00A1",
    "serialNumber": "00004411", "testSignature": "K", "testSignatureCode": 7
  },
  "configuration": {"fuelType": "diesel", "pumpInIdlePeriod": true,
                    "heatingLimitMinutes": 60, "ventilationFactor": "1/2"},
  "thresholds": {"minVoltage": 10.5, "maxVoltage": 16.0, "minDelay": 20, "maxDelay": 20},
  "co2": {"value": 118, "min": 96, "max": 144},
  "model": {"ambientTemperature": 8, "temperature": 8, "supplyVoltage": 12.4, "noise": 0.04,
            "seed": 2, "glowPlugResistance": 0.55,
            "workingHours": "1210:05", "operatingHours": "1104:40", "startCount": 3310,
            "workingHoursPH": "900:00", "workingHoursSH": "204:40", "startsPH": 2500,
            "startsSH": 810, "trsCount": 0,
            "burningDurations": ["40:00", "300:10", "520:15", "0:00",
                                 "10:00", "60:20", "134:20", "0:00"],
            "faultCounterPH": 0, "faultCounterSH": 0, "flameInterruptions": 0},
  "faults": [],
  "eeprom": {"size": 256, "start": "0x10", "checksumEnd": "0xFE", "checksumAddress": "0xFF",
             "fill": "pattern"}
})";

constexpr std::string_view kV30 = R"({
  "name": "v3.0",
  "version": "3.0",
  "shortForms": true,
  "capabilities": "70 3C 00 02 00",
  "debugMode": true,
  "identification": {
    "deviceName": "HYDRO 3",
    "deviceNumber": "25211305", "deviceNumberSuffix": "A",
    "hardware": "0105", "software": "15300105",
    "softwareEeprom": "00000000",
    "datasetNumber": "25211326", "datasetSuffix": "A", "datasetDigit": 0,
    "unitDate": "110315", "heaterDate": "230315",
    "farstartCode": "0000", "customerNumber": "0000",
    "serialNumber": "00000C3B", "testSignature": "K", "testSignatureCode": 1
  },
  "configuration": {"fuelType": "gasoline", "pumpInIdlePeriod": false,
                    "heatingLimitMinutes": "unlimited", "ventilationFactor": "1/1"},
  "thresholds": {"minVoltage": 10.0, "maxVoltage": 15.5, "minDelay": 10, "maxDelay": 10},
  "co2": {"value": 110, "min": 90, "max": 130},
  "model": {"ambientTemperature": 20, "temperature": 20, "supplyVoltage": 12.7, "noise": 0.05,
            "seed": 3, "glowPlugResistance": 0.65,
            "workingHours": "2210:00", "operatingHours": "2001:30", "startCount": 6020,
            "workingHoursPH": "1500:00", "workingHoursSH": "501:30", "startsPH": 4000,
            "startsSH": 2020, "trsCount": 12,
            "faultCounterPH": 1, "faultCounterSH": 1, "flameInterruptions": 4},
  "faults": [
    {"code": "0x33", "state": 1, "counter": 2, "stateCode": "0x2E", "stateNumber": 3,
     "temperature": 21, "voltage": 11.02, "time": "1980:12"}
  ],
  "eeprom": {"size": 256, "start": "0x10", "checksumEnd": "0xFD", "checksumAddress": "0xFE",
             "fill": "pattern"}
})";

constexpr std::string_view kV15 = R"({
  "name": "v1.5",
  "version": "1.5",
  "capabilities": "",
  "debugMode": false,
  "identification": {
    "deviceName": "HYDRO",
    "deviceNumber": "252113", "deviceNumberSuffix": "A",
    "hardware": "0102", "software": "09150000",
    "softwareEeprom": "00000000",
    "datasetNumber": "252126", "datasetSuffix": "A", "datasetDigit": 1,
    "unitDate": "040399", "heaterDate": "150399",
    "farstartCode": "00", "customerNumber": "00",
    "serialNumber": "00010203", "testSignature": "K", "testSignatureCode": 0
  },
  "configuration": {"fuelType": "diesel", "pumpInIdlePeriod": false,
                    "heatingLimitMinutes": 60, "ventilationFactor": "1/1"},
  "co2": {"value": 128, "min": 1, "max": 254},
  "model": {"ambientTemperature": 15, "temperature": 15, "supplyVoltage": 12.5, "noise": 0.05,
            "seed": 4, "glowPlugResistance": 0.6,
            "workingHours": "3105:44", "operatingHours": "2899:10", "startCount": 8812,
            "faultCounterPH": 3, "faultCounterSH": 1, "flameInterruptions": 2},
  "faults": [
    {"code": "0x13", "state": 1, "counter": 2, "stateCode": "0x41", "temperature": 9},
    {"code": "0x05", "state": 3, "counter": 1, "stateCode": "0x15", "temperature": 64}
  ],
  "eeprom": {"size": 512, "start": "0x001", "checksumEnd": "0x193", "checksumAddress": "0x194",
             "fill": "pattern"}
})";

// The water heater unit on the keyword link (device record D06), two stored faults.
constexpr std::string_view kD06 = R"({
  "family": "D06",
  "name": "d06",
  "latencyMs": 20,
  "configuration": {"fuelType": "diesel"},
  "thresholds": {"minVoltage": 10.2},
  "co2": {"value": 112, "min": 80, "max": 160},
  "inputs": {"mainSwitch": true, "supplementalRequest": false, "summer": false},
  "model": {"ambientTemperature": 10, "temperature": 10, "supplyVoltage": 12.5, "noise": 0.04,
            "seed": 6, "glowPlugResistance": 0.6, "workingHours": "820:14",
            "operatingHours": "771:02", "startCount": 2045},
  "keyword": {
    "address": "0x51",
    "keyBytes": "E9 8F",
    "acceptAnyKey": false,
    "heaterRunning": false,
    "customerId": "4B 56 52 00 30 36 2D 57 48",
    "customerData": "19 07 21 00 12 25 22 20 55 01 02 03",
    "deviceNumber": "25222055001",
    "datasetNumber": "25222056002",
    "hardwareVersion": 3,
    "softwareVersion": "2.14",
    "faults": [
      {"code": "0x1801", "status": "0x24", "counter": 3, "temperature": 14, "flameDetector": 40,
       "voltage": 12.1, "fuelPump": 0, "fan": 128, "glowPlug": 100},
      {"code": "0x1820", "status": "0x01", "counter": 1, "temperature": 72,
       "flameDetector": 120, "voltage": 11.4, "fuelPump": 36, "fan": 200, "glowPlug": 0}
    ]
  }
})";

// The same unit answering the start request with the key bytes of another keyword family.
constexpr std::string_view kD06WrongKey = R"({
  "base": "d06", "name": "d06-wrong-key", "keyword": {"keyBytes": "C2 46"}
})";
constexpr std::string_view kD06AnyKey = R"({
  "base": "d06", "name": "d06-any-key", "keyword": {"acceptAnyKey": true}
})";
constexpr std::string_view kD06Silent = R"({
  "base": "d06", "name": "d06-silent", "injectedFaults": [{"kind": "noReply"}]
})";
constexpr std::string_view kD06Running = R"({
  "base": "d06", "name": "d06-running", "keyword": {"heaterRunning": true}
})";

struct BuiltIn {
  std::string_view name;
  std::string_view json;
};
constexpr BuiltIn kBuiltIns[] = {
    {"v1.5", kV15},
    {"v3.0", kV30},
    {"v3.1", kV31},
    {"v3.2", kV32},
    {"demo", kV32},
    {"d06", kD06},
    {"d06-wrong-key", kD06WrongKey},
    {"d06-any-key", kD06AnyKey},
    {"d06-silent", kD06Silent},
    {"d06-running", kD06Running},
};

// Fields that only one family's units have.
constexpr std::string_view kHBusOnlyFields[] = {
    "version", "shortForms", "capabilities", "debugMode", "identification", "faults", "eeprom"};

constexpr std::size_t kMaxScenarioFileBytes = 1 << 20;

// A scenario field that cannot be used: where, and why.
struct FieldError {
  std::string path;
  std::string message;
};

[[noreturn]] void Fail(const std::string& path, const std::string& message) {
  throw FieldError{path, message};
}

std::string Join(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

// Parses JSON text. The library reports a number it cannot hold (1e400) without saying where
// it stands, so the parse keeps track of the path and names the field itself.
Json ParseJson(std::string_view text) {
  struct Step {
    bool array = false;
    std::string key;
    long index = -1;
  };
  std::vector<Step> steps;
  const auto enterValue = [&steps] {
    if (!steps.empty() && steps.back().array) ++steps.back().index;
  };
  const Json::parser_callback_t track = [&](int, Json::parse_event_t event, Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
        enterValue();
        steps.push_back({false, {}, -1});
        break;
      case Json::parse_event_t::array_start:
        enterValue();
        steps.push_back({true, {}, -1});
        break;
      case Json::parse_event_t::object_end:
      case Json::parse_event_t::array_end:
        if (!steps.empty()) steps.pop_back();
        break;
      case Json::parse_event_t::key:
        if (!steps.empty() && parsed.is_string()) steps.back().key = parsed.get<std::string>();
        break;
      case Json::parse_event_t::value:
        enterValue();
        break;
    }
    return true;
  };
  try {
    return Json::parse(text, track);
  } catch (const Json::out_of_range&) {
    // The value that failed has not been counted yet: in a list it is the next element.
    std::string path;
    for (std::size_t i = 0; i < steps.size(); ++i) {
      const Step& step = steps[i];
      if (step.array) {
        path += "[" + std::to_string(step.index + 1) + "]";
      } else {
        path = Join(path, step.key);
      }
    }
    Fail(path.empty() ? "(top level)" : path, "is a number out of range");
  }
}

std::int64_t ParseIntegerText(const std::string& text, const std::string& path) {
  std::string_view s = text;
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) {
    Fail(path, "\"" + text + "\" is no number (write 42 or \"0x2A\")");
  }
  return value;
}

std::int64_t Integer(const Json& v, const std::string& path, std::int64_t min, std::int64_t max) {
  std::int64_t value = 0;
  if (v.is_number_integer()) {
    value = v.get<std::int64_t>();
  } else if (v.is_number_unsigned()) {
    const auto u = v.get<std::uint64_t>();
    value = u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())
                ? std::numeric_limits<std::int64_t>::max()
                : static_cast<std::int64_t>(u);
  } else if (v.is_string()) {
    value = ParseIntegerText(v.get<std::string>(), path);
  } else {
    Fail(path, "expected a whole number");
  }
  if (value < min || value > max) {
    Fail(path, "must lie between " + std::to_string(min) + " and " + std::to_string(max));
  }
  return value;
}

double Real(const Json& v, const std::string& path, double min, double max) {
  if (!v.is_number()) Fail(path, "expected a number");
  const double value = v.get<double>();
  if (!std::isfinite(value) || value < min || value > max) {
    std::ostringstream range;
    range << "must lie between " << min << " and " << max;
    Fail(path, range.str());
  }
  return value;
}

bool Boolean(const Json& v, const std::string& path) {
  if (!v.is_boolean()) Fail(path, "expected true or false");
  return v.get<bool>();
}

std::string Text(const Json& v, const std::string& path, std::size_t maxLength) {
  if (!v.is_string()) Fail(path, "expected a text");
  std::string text = v.get<std::string>();
  if (text.size() > maxLength) {
    Fail(path, "is longer than " + std::to_string(maxLength) + " characters");
  }
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
      Fail(path, "may hold printable ASCII characters only");
    }
  }
  return text;
}

char Character(const Json& v, const std::string& path) {
  const std::string text = Text(v, path, 1);
  if (text.size() != 1) Fail(path, "expected exactly one character");
  return text[0];
}

Bytes HexBytes(const Json& v, const std::string& path, std::size_t minCount, std::size_t maxCount) {
  if (!v.is_string()) Fail(path, "expected hexadecimal bytes as a text, such as \"01 A2 FF\"");
  const std::string text = v.get<std::string>();
  Bytes bytes;
  int high = -1;
  for (const char c : text) {
    if (c == ' ') continue;
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) Fail(path, "\"" + text + "\" holds a character that is no hex digit");
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0) Fail(path, "\"" + text + "\" has an odd number of hex digits");
  if (bytes.size() < minCount || bytes.size() > maxCount) {
    if (minCount == maxCount) Fail(path, "must be " + std::to_string(minCount) + " bytes");
    Fail(path,
         "must be " + std::to_string(minCount) + " to " + std::to_string(maxCount) + " bytes");
  }
  return bytes;
}

// "hours:minutes" or a number of minutes.
std::int64_t Minutes(const Json& v, const std::string& path) {
  constexpr std::int64_t kMaxHours = 65534;
  if (v.is_string()) {
    const std::string text = v.get<std::string>();
    const auto colon = text.find(':');
    if (colon == std::string::npos) Fail(path, "expected \"hours:minutes\" or minutes");
    const std::int64_t hours = ParseIntegerText(text.substr(0, colon), path);
    const std::int64_t minutes = ParseIntegerText(text.substr(colon + 1), path);
    if (hours < 0 || hours > kMaxHours || minutes < 0 || minutes > 59) {
      Fail(path, "\"" + text + "\" is no time from 0:00 to 65534:59");
    }
    return hours * 60 + minutes;
  }
  return Integer(v, path, 0, kMaxHours * 60 + 59);
}

int Millivolts(const Json& v, const std::string& path, double minV, double maxV) {
  return static_cast<int>(std::lround(Real(v, path, minV, maxV) * 1000.0));
}

// An object whose keys are checked against the known ones, so that a misspelt key is reported
// instead of silently ignored.
class Fields {
 public:
  Fields(const Json& object, std::string path, std::initializer_list<std::string_view> known)
      : object_(object), path_(std::move(path)) {
    if (!object_.is_object()) Fail(path_.empty() ? "(top level)" : path_, "expected an object");
    for (auto it = object_.begin(); it != object_.end(); ++it) {
      if (std::find(known.begin(), known.end(), it.key()) == known.end()) {
        Fail(Join(path_, it.key()), "unknown field");
      }
    }
  }
  const Json* Find(std::string_view key) const {
    const auto it = object_.find(std::string(key));
    return it == object_.end() ? nullptr : &*it;
  }
  std::string Path(std::string_view key) const { return Join(path_, key); }

  template <typename T>
  void Int(std::string_view key, std::int64_t min, std::int64_t max, T* target) const {
    if (const Json* v = Find(key)) *target = static_cast<T>(Integer(*v, Path(key), min, max));
  }
  void Bool(std::string_view key, bool* target) const {
    if (const Json* v = Find(key)) *target = Boolean(*v, Path(key));
  }
  void Hex(std::string_view key, std::size_t minCount, std::size_t maxCount, Bytes* target) const {
    if (const Json* v = Find(key)) *target = HexBytes(*v, Path(key), minCount, maxCount);
  }
  void Char(std::string_view key, char* target) const {
    if (const Json* v = Find(key)) *target = Character(*v, Path(key));
  }
  void Volts(std::string_view key, double minV, double maxV, int* targetMv) const {
    if (const Json* v = Find(key)) *targetMv = Millivolts(*v, Path(key), minV, maxV);
  }
  void Time(std::string_view key, std::int64_t* targetMinutes) const {
    if (const Json* v = Find(key)) *targetMinutes = Minutes(*v, Path(key));
  }

 private:
  const Json& object_;
  std::string path_;
};

void ApplyIdentification(const Json& j, Identification* id) {
  const Fields f(
      j, "identification",
      {"deviceName", "deviceNumber", "deviceNumberSuffix", "hardware", "software", "softwareEeprom",
       "datasetNumber", "datasetSuffix", "datasetDigit", "unitDate", "heaterDate", "farstartCode",
       "customerNumber", "serialNumber", "testSignature", "testSignatureCode"});
  if (const Json* v = f.Find("deviceName")) id->deviceName = Text(*v, f.Path("deviceName"), 8);
  f.Hex("deviceNumber", 3, 4, &id->deviceNumber);
  f.Char("deviceNumberSuffix", &id->deviceNumberSuffix);
  f.Hex("hardware", 2, 2, &id->hardware);
  f.Hex("software", 4, 4, &id->software);
  f.Hex("softwareEeprom", 4, 4, &id->softwareEeprom);
  f.Hex("datasetNumber", 3, 4, &id->datasetNumber);
  f.Char("datasetSuffix", &id->datasetSuffix);
  f.Int("datasetDigit", 0, 9, &id->datasetDigit);
  f.Hex("unitDate", 3, 3, &id->unitDate);
  f.Hex("heaterDate", 3, 3, &id->heaterDate);
  f.Hex("farstartCode", 1, 29, &id->farstartCode);
  f.Hex("customerNumber", 1, 29, &id->customerNumber);
  f.Hex("serialNumber", 1, 27, &id->serialNumber);
  f.Char("testSignature", &id->testSignature);
  f.Int("testSignatureCode", 0, 255, &id->testSignatureCode);
}

void ApplyConfiguration(const Json& j, Scenario* s) {
  const Fields f(j, "configuration",
                 {"fuelType", "pumpInIdlePeriod", "heatingLimitMinutes", "ventilationFactor"});
  if (const Json* v = f.Find("fuelType")) {
    static constexpr std::pair<std::string_view, std::uint8_t> kNames[] = {
        {"neutral", 0x0}, {"pme", 0xA}, {"gasoline", 0xB}, {"diesel", 0xD}, {"locked", 0xF}};
    bool named = false;
    if (v->is_string()) {
      std::string name = v->get<std::string>();
      std::transform(name.begin(), name.end(), name.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      for (const auto& [n, code] : kNames) {
        if (name == n) {
          s->fuelType = code;
          named = true;
        }
      }
    }
    if (!named) s->fuelType = static_cast<std::uint8_t>(Integer(*v, f.Path("fuelType"), 0, 15));
  }
  f.Bool("pumpInIdlePeriod", &s->pumpInIdlePeriod);
  if (const Json* v = f.Find("heatingLimitMinutes")) {
    if (v->is_string() && v->get<std::string>() == "unlimited") {
      s->heatingLimit = 25;
    } else {
      const auto minutes = Integer(*v, f.Path("heatingLimitMinutes"), 0, 240);
      if (minutes % 10 != 0) Fail(f.Path("heatingLimitMinutes"), "must be a multiple of 10");
      s->heatingLimit = static_cast<std::uint8_t>(minutes / 10);
    }
  }
  if (const Json* v = f.Find("ventilationFactor")) {
    const std::string text = Text(*v, f.Path("ventilationFactor"), 3);
    if (text == "1/1") {
      s->ventilationFactor = 0;
    } else if (text == "3/4") {
      s->ventilationFactor = 1;
    } else if (text == "1/2") {
      s->ventilationFactor = 2;
    } else if (text == "1/4") {
      s->ventilationFactor = 3;
    } else {
      Fail(f.Path("ventilationFactor"), "expected \"1/1\", \"3/4\", \"1/2\" or \"1/4\"");
    }
  }
}

void ApplyThresholds(const Json& j, Scenario* s) {
  const Fields f(
      j, "thresholds",
      {"minVoltage", "maxVoltage", "minDelay", "maxDelay", "upperTemperature", "lowerTemperature"});
  f.Volts("minVoltage", 0.0, 65.0, &s->minVoltageMv);
  f.Volts("maxVoltage", 0.0, 65.0, &s->maxVoltageMv);
  f.Int("minDelay", 0, 255, &s->minDelayS);
  f.Int("maxDelay", 0, 255, &s->maxDelayS);
  f.Int("upperTemperature", -50, 205, &s->upperTemperatureC);
  f.Int("lowerTemperature", -50, 205, &s->lowerTemperatureC);
}

void ApplyCo2(const Json& j, Scenario* s) {
  const Fields f(j, "co2", {"value", "min", "max"});
  f.Int("value", 0, 255, &s->co2Value);
  f.Int("min", 0, 255, &s->co2Min);
  f.Int("max", 0, 255, &s->co2Max);
}

void ApplyInputs(const Json& j, Inputs* in) {
  const Fields f(j, "inputs",
                 {"mainSwitch", "supplementalRequest", "summer", "pumpExternalControl", "economic",
                  "generator", "auxiliaryDrive", "boost", "ignition"});
  f.Bool("mainSwitch", &in->mainSwitch);
  f.Bool("supplementalRequest", &in->supplementalRequest);
  f.Bool("summer", &in->summer);
  f.Bool("pumpExternalControl", &in->pumpExternalControl);
  f.Bool("economic", &in->economic);
  f.Bool("generator", &in->generator);
  f.Bool("auxiliaryDrive", &in->auxiliaryDrive);
  f.Bool("boost", &in->boost);
  f.Bool("ignition", &in->ignition);
}

void ApplyModel(const Json& j, ModelStart* m) {
  const Fields f(j, "model",
                 {"ambientTemperature",
                  "temperature",
                  "supplyVoltage",
                  "noise",
                  "seed",
                  "glowPlugResistance",
                  "keepAliveTimeout",
                  "workingHours",
                  "operatingHours",
                  "startCount",
                  "workingHoursPH",
                  "workingHoursSH",
                  "startsPH",
                  "startsSH",
                  "trsCount",
                  "burningDurations",
                  "faultCounterPH",
                  "faultCounterSH",
                  "flameInterruptions",
                  "overheatFlag",
                  "leanStartFlag",
                  "sleepFlag",
                  "potentiometer"});
  if (const Json* v = f.Find("ambientTemperature")) {
    m->ambientC = Real(*v, f.Path("ambientTemperature"), -40.0, 60.0);
  }
  if (const Json* v = f.Find("temperature")) {
    m->temperatureC = Real(*v, f.Path("temperature"), -40.0, 120.0);
  }
  f.Volts("supplyVoltage", 6.0, 32.0, &m->supplyMv);
  f.Volts("noise", 0.0, 1.0, &m->noiseMv);
  f.Int("seed", 0, 0xFFFFFFFF, &m->seed);
  if (const Json* v = f.Find("glowPlugResistance")) {
    m->glowPlugColdMohm =
        static_cast<int>(std::lround(Real(*v, f.Path("glowPlugResistance"), 0.1, 5.0) * 1000.0));
  }
  f.Int("keepAliveTimeout", 1, 3600, &m->keepAliveTimeoutS);
  f.Time("workingHours", &m->workingMinutes);
  f.Time("operatingHours", &m->operatingMinutes);
  f.Int("startCount", 0, 0xFFFE, &m->startCount);
  f.Time("workingHoursPH", &m->workingPhMinutes);
  f.Time("workingHoursSH", &m->workingShMinutes);
  f.Int("startsPH", 0, 0xFFFE, &m->startsPh);
  f.Int("startsSH", 0, 0xFFFE, &m->startsSh);
  f.Int("trsCount", 0, 0xFFFE, &m->trsCount);
  if (const Json* v = f.Find("burningDurations")) {
    const std::string path = f.Path("burningDurations");
    if (!v->is_array() || v->size() != 8) {
      Fail(path,
           "expected 8 times: parking heating at 1..33%, 34..66%, 67..100%, >100%, "
           "then the same for supplemental heating");
    }
    for (std::size_t i = 0; i < 8; ++i) {
      m->burningMinutes[i] = Minutes((*v)[i], path + "[" + std::to_string(i) + "]");
    }
  }
  f.Int("faultCounterPH", 0, 15, &m->faultCounterPh);
  f.Int("faultCounterSH", 0, 15, &m->faultCounterSh);
  f.Int("flameInterruptions", 0, 254, &m->flameInterruptions);
  f.Bool("overheatFlag", &m->overheatFlag);
  f.Bool("leanStartFlag", &m->leanStartFlag);
  f.Bool("sleepFlag", &m->sleepFlag);
  if (const Json* v = f.Find("potentiometer")) {
    m->potentiometerC = Real(*v, f.Path("potentiometer"), 0.0, 50.0);
  }
}

std::vector<StoredFault> ReadFaults(const Json& j) {
  if (!j.is_array()) Fail("faults", "expected a list of faults");
  std::vector<StoredFault> faults;
  for (std::size_t i = 0; i < j.size(); ++i) {
    const Fields f(
        j[i], "faults[" + std::to_string(i) + "]",
        {"code", "state", "counter", "stateCode", "stateNumber", "temperature", "voltage", "time"});
    if (!f.Find("code")) Fail(f.Path("code"), "missing");
    StoredFault fault;
    f.Int("code", 1, 254, &fault.code);
    f.Int("state", 0, 4, &fault.state);
    f.Int("counter", 0, 255, &fault.counter);
    f.Int("stateCode", 0, 255, &fault.stateCode);
    f.Int("stateNumber", 0, 255, &fault.stateNumber);
    f.Int("temperature", -50, 205, &fault.temperatureC);
    f.Volts("voltage", 0.0, 65.0, &fault.voltageMv);
    std::int64_t minutes = 0;
    f.Time("time", &minutes);
    fault.hours = static_cast<std::uint16_t>(minutes / 60);
    fault.minutes = static_cast<std::uint8_t>(minutes % 60);
    faults.push_back(fault);
  }
  return faults;
}

// Content that looks like a parameter block rather than a counting pattern.
Bytes PatternContent(std::size_t size) {
  Bytes content(size);
  for (std::size_t a = 0; a < size; ++a) {
    content[a] = static_cast<std::uint8_t>((a * 131u + 7u) ^ (a >> 3));
  }
  return content;
}

void FixChecksum(EepromSetup* e) {
  if (e->checksumEnd == e->start || e->checksumEnd >= e->content.size()) return;
  std::uint8_t sum = 0;
  for (std::size_t a = e->start; a <= e->checksumEnd; ++a) {
    sum = static_cast<std::uint8_t>(sum + e->content[a]);
  }
  if (e->checksumAddress < e->content.size()) e->content[e->checksumAddress] = sum;
}

void ApplyEeprom(const Json& j, EepromSetup* e) {
  const Fields f(
      j, "eeprom",
      {"size", "start", "checksumEnd", "checksumAddress", "fill", "data", "fixChecksum", "stuck"});
  if (const Json* v = f.Find("size")) {
    const auto size = Integer(*v, f.Path("size"), 16, 32768);
    unsigned exponent = 4;
    while ((std::int64_t{1} << exponent) < size) ++exponent;
    if ((std::int64_t{1} << exponent) != size) {
      Fail(f.Path("size"), "must be a power of two from 16 to 32768");
    }
    if (exponent != e->sizeExponent || e->content.size() != e->Size()) {
      e->sizeExponent = exponent;
      e->content = PatternContent(e->Size());
    }
  }
  const auto last = static_cast<std::int64_t>(e->Size()) - 1;
  f.Int("start", 0, last, &e->start);
  f.Int("checksumEnd", 0, last, &e->checksumEnd);
  f.Int("checksumAddress", 0, last, &e->checksumAddress);
  if (const Json* v = f.Find("fill")) {
    if (v->is_string() && v->get<std::string>() == "pattern") {
      e->content = PatternContent(e->Size());
    } else {
      e->content.assign(e->Size(), static_cast<std::uint8_t>(Integer(*v, f.Path("fill"), 0, 255)));
    }
  }
  if (e->content.size() != e->Size()) e->content = PatternContent(e->Size());
  if (const Json* v = f.Find("data")) {
    if (!v->is_object()) Fail(f.Path("data"), "expected {\"address\": \"hex bytes\", ...}");
    for (auto it = v->begin(); it != v->end(); ++it) {
      const std::string path = f.Path("data") + "." + it.key();
      const auto address = ParseIntegerText(it.key(), path);
      const Bytes bytes = HexBytes(it.value(), path, 1, e->Size());
      if (address < 0 || address + static_cast<std::int64_t>(bytes.size()) > last + 1) {
        Fail(path, "lies outside the EEPROM");
      }
      std::copy(bytes.begin(), bytes.end(), e->content.begin() + address);
    }
  }
  if (const Json* v = f.Find("stuck")) {
    if (!v->is_array()) Fail(f.Path("stuck"), "expected a list of addresses");
    e->stuck.clear();
    for (std::size_t i = 0; i < v->size(); ++i) {
      e->stuck.push_back(static_cast<std::uint16_t>(
          Integer((*v)[i], f.Path("stuck") + "[" + std::to_string(i) + "]", 0, last)));
    }
  }
  bool fix = true;
  f.Bool("fixChecksum", &fix);
  if (fix) FixChecksum(e);
}

std::vector<KeywordFault> ReadKeywordFaults(const Json& j, const std::string& path) {
  if (!j.is_array()) Fail(path, "expected a list of faults");
  std::vector<KeywordFault> faults;
  for (std::size_t i = 0; i < j.size(); ++i) {
    const Fields f(j[i], path + "[" + std::to_string(i) + "]",
                   {"code", "status", "counter", "temperature", "flameDetector", "voltage",
                    "fuelPump", "fan", "glowPlug"});
    if (!f.Find("code")) Fail(f.Path("code"), "missing");
    KeywordFault fault;
    f.Int("code", 0, 0xFFFF, &fault.code);
    f.Int("status", 0, 255, &fault.status);
    f.Int("counter", 0, 255, &fault.counter);
    f.Int("temperature", -40, 125, &fault.temperatureC);
    f.Int("flameDetector", 0, 255, &fault.flameDetector);
    f.Volts("voltage", 0.0, 17.4, &fault.voltageMv);
    f.Int("fuelPump", 0, 255, &fault.fuelPump);
    f.Int("fan", 0, 255, &fault.fan);
    f.Int("glowPlug", 0, 255, &fault.glowPlug);
    faults.push_back(fault);
  }
  return faults;
}

std::string Characters(const Json& v, const std::string& path, std::size_t count) {
  const std::string text = Text(v, path, count);
  if (text.size() != count) Fail(path, "must be " + std::to_string(count) + " characters");
  return text;
}

void ApplyKeyword(const Json& j, KeywordSetup* k) {
  const Fields f(j, "keyword",
                 {"address", "keyBytes", "acceptAnyKey", "heaterRunning", "fuelPumpPeriod",
                  "customerId", "customerData", "deviceNumber", "datasetNumber", "hardwareVersion",
                  "softwareVersion", "faults"});
  f.Int("address", 0, 255, &k->address);
  f.Hex("keyBytes", 2, 2, &k->keyBytes);
  f.Bool("acceptAnyKey", &k->acceptAnyKey);
  f.Bool("heaterRunning", &k->heaterRunning);
  if (const Json* v = f.Find("fuelPumpPeriod")) {
    if (v->is_string() && v->get<std::string>() == "model") {
      k->fuelPumpPeriod = -1;
    } else {
      k->fuelPumpPeriod = static_cast<int>(Integer(*v, f.Path("fuelPumpPeriod"), 0, 255));
    }
  }
  f.Hex("customerId", 9, 9, &k->customerId);
  f.Hex("customerData", 12, 12, &k->customerData);
  if (const Json* v = f.Find("deviceNumber")) {
    k->deviceNumber = Characters(*v, f.Path("deviceNumber"), 11);
  }
  if (const Json* v = f.Find("datasetNumber")) {
    k->datasetNumber = Characters(*v, f.Path("datasetNumber"), 11);
  }
  f.Int("hardwareVersion", 0, 255, &k->hardwareVersion);
  if (const Json* v = f.Find("softwareVersion")) {
    const std::string path = f.Path("softwareVersion");
    const std::string text = Text(*v, path, 7);
    const auto dot = text.find('.');
    if (dot == std::string::npos) Fail(path, "expected \"major.minor\", such as \"2.14\"");
    k->softwareMajor = static_cast<std::uint8_t>(Integer(Json(text.substr(0, dot)), path, 0, 255));
    k->softwareMinor = static_cast<std::uint8_t>(Integer(Json(text.substr(dot + 1)), path, 0, 255));
  }
  if (const Json* v = f.Find("faults")) k->faults = ReadKeywordFaults(*v, f.Path("faults"));
}

FaultKind ReadFaultKind(const Json& v, const std::string& path) {
  static constexpr std::pair<std::string_view, FaultKind> kKinds[] = {
      {"noReply", FaultKind::kNoReply},         {"lateReply", FaultKind::kLateReply},
      {"badChecksum", FaultKind::kBadChecksum}, {"wrongEcho", FaultKind::kWrongEcho},
      {"garbage", FaultKind::kGarbage},         {"nak", FaultKind::kNak},
      {"powerOff", FaultKind::kPowerOff},       {"unplug", FaultKind::kUnplug}};
  const std::string name = Text(v, path, 32);
  for (const auto& [n, kind] : kKinds) {
    if (name == n) return kind;
  }
  Fail(path, "unknown fault \"" + name +
                 "\" (noReply, lateReply, badChecksum, wrongEcho, garbage, nak, powerOff, unplug)");
}

std::vector<FaultRule> ReadInjectedFaults(const Json& j) {
  if (!j.is_array()) Fail("injectedFaults", "expected a list of faults");
  std::vector<FaultRule> rules;
  for (std::size_t i = 0; i < j.size(); ++i) {
    const Fields f(j[i], "injectedFaults[" + std::to_string(i) + "]",
                   {"kind", "command", "index", "times", "after", "delayMs", "bytes", "code"});
    const Json* kind = f.Find("kind");
    if (!kind) Fail(f.Path("kind"), "missing");
    FaultRule rule;
    rule.kind = ReadFaultKind(*kind, f.Path("kind"));
    f.Int("command", 0, 255, &rule.command);
    f.Int("index", 0, 255, &rule.index);
    f.Int("times", -1, 1000000, &rule.times);
    f.Int("after", 0, 1000000000, &rule.after);
    const char* valueKey = rule.kind == FaultKind::kLateReply ? "delayMs"
                           : rule.kind == FaultKind::kGarbage ? "bytes"
                           : rule.kind == FaultKind::kNak     ? "code"
                                                              : nullptr;
    for (const char* key : {"delayMs", "bytes", "code"}) {
      if (f.Find(key) && (!valueKey || std::string_view(key) != valueKey)) {
        Fail(f.Path(key), "does not belong to this kind of fault");
      }
    }
    if (valueKey) {
      if (!f.Find(valueKey)) Fail(f.Path(valueKey), "missing");
      const std::int64_t max = rule.kind == FaultKind::kLateReply ? 60000
                               : rule.kind == FaultKind::kGarbage ? 64
                                                                  : 255;
      f.Int(valueKey, rule.kind == FaultKind::kGarbage ? 1 : 0, max, &rule.value);
    }
    rules.push_back(rule);
  }
  return rules;
}

// "3.2" or 3.2; a raw version byte as "0x32" or 50.
std::uint8_t ReadVersion(const Json& v, const std::string& path) {
  std::uint8_t version = 0;
  if (v.is_string() && ParseVersion(v.get<std::string>(), &version)) return version;
  if (v.is_number_float()) {
    const double d = v.get<double>();
    const double major = std::floor(d);
    const double minor = std::round((d - major) * 10.0);
    if (d >= 0.0 && d < 10.0 && minor < 10.0 && std::fabs(d - (major + minor / 10.0)) < 1e-6) {
      return static_cast<std::uint8_t>(static_cast<int>(major) << 4 | static_cast<int>(minor));
    }
    Fail(path, "expected a version such as \"3.2\"");
  }
  return static_cast<std::uint8_t>(Integer(v, path, 0, 255));
}

std::string_view BaseFor(std::uint8_t version) {
  if (version < 0x30) return "v1.5";
  if (version == 0x30) return "v3.0";
  if (version == 0x31) return "v3.1";
  return "v3.2";
}

void Apply(const Json& j, Scenario* s);

void ApplyBuiltIn(std::string_view name, Scenario* s) {
  *s = Scenario{};
  Apply(ParseJson(BuiltInScenarioJson(name)), s);
}

void Apply(const Json& j, Scenario* s) {
  const Fields f(j, "",
                 {"base", "family", "name", "version", "shortForms", "capabilities", "debugMode",
                  "latencyMs", "identification", "configuration", "thresholds", "co2", "inputs",
                  "model", "faults", "eeprom", "injectedFaults", "keyword"});
  if (const Json* v = f.Find("base")) {
    const std::string base = Text(*v, "base", 32);
    if (BuiltInScenarioJson(base).empty()) Fail("base", "no built-in scenario \"" + base + "\"");
    ApplyBuiltIn(base, s);
  }
  if (const Json* v = f.Find("family")) {
    const std::string device = Text(*v, "family", 8);
    if (!ParseFamily(device, &s->family)) {
      Fail("family", "no virtual unit for \"" + device + "\" (D00, D06)");
    }
  }
  if (s->family == Family::kKeyword) {
    for (const std::string_view key : kHBusOnlyFields) {
      if (f.Find(key)) Fail(std::string(key), "does not apply to a D06 unit");
    }
  } else if (f.Find("keyword")) {
    Fail("keyword", "applies to a D06 unit only (give \"family\": \"D06\")");
  }
  if (const Json* v = f.Find("name")) s->name = Text(*v, "name", 64);
  if (const Json* v = f.Find("version")) s->version = ReadVersion(*v, "version");
  f.Bool("shortForms", &s->shortForms);
  f.Hex("capabilities", 0, 8, &s->capabilities);
  f.Bool("debugMode", &s->debugMode);
  f.Int("latencyMs", 0, 10000, &s->latencyMs);
  if (const Json* v = f.Find("identification")) ApplyIdentification(*v, &s->id);
  if (const Json* v = f.Find("configuration")) ApplyConfiguration(*v, s);
  if (const Json* v = f.Find("thresholds")) ApplyThresholds(*v, s);
  if (const Json* v = f.Find("co2")) ApplyCo2(*v, s);
  if (const Json* v = f.Find("inputs")) ApplyInputs(*v, &s->inputs);
  if (const Json* v = f.Find("model")) ApplyModel(*v, &s->model);
  if (const Json* v = f.Find("faults")) s->faults = ReadFaults(*v);
  if (const Json* v = f.Find("eeprom")) ApplyEeprom(*v, &s->eeprom);
  if (const Json* v = f.Find("injectedFaults")) s->injectedFaults = ReadInjectedFaults(*v);
  if (const Json* v = f.Find("keyword")) ApplyKeyword(*v, &s->keyword);
}

void ValidateKeyword(const Scenario& s) {
  const KeywordSetup& k = s.keyword;
  if (k.faults.size() > 10) Fail("keyword.faults", "the unit stores at most 10 faults");
  std::set<std::uint16_t> codes;
  for (std::size_t i = 0; i < k.faults.size(); ++i) {
    if (!codes.insert(k.faults[i].code).second) {
      Fail("keyword.faults[" + std::to_string(i) + "].code", "the same code is stored twice");
    }
  }
  if (s.co2Min > s.co2Max || s.co2Value < s.co2Min || s.co2Value > s.co2Max) {
    Fail("co2", "needs min <= value <= max");
  }
}

// What must hold for the whole scenario, whichever parts a file changed.
void Validate(const Scenario& s) {
  if (s.family == Family::kKeyword) {
    ValidateKeyword(s);
    return;
  }
  const bool v3 = s.IsV3();
  const std::size_t numberBytes = v3 ? 4 : 3;
  if (s.id.deviceNumber.size() != numberBytes) {
    Fail("identification.deviceNumber",
         "must be " + std::to_string(numberBytes) + " bytes for this version");
  }
  if (s.id.datasetNumber.size() != numberBytes) {
    Fail("identification.datasetNumber",
         "must be " + std::to_string(numberBytes) + " bytes for this version");
  }
  if (!v3 && s.id.serialNumber.size() != 4) {
    Fail("identification.serialNumber", "must be 4 bytes before version 3.0");
  }
  const std::size_t maxFaults = v3 ? 8 : 3;
  if (s.faults.size() > maxFaults) {
    Fail("faults", "this version stores at most " + std::to_string(maxFaults) + " faults");
  }
  std::set<std::uint8_t> codes;
  for (std::size_t i = 0; i < s.faults.size(); ++i) {
    if (!codes.insert(s.faults[i].code).second) {
      Fail("faults[" + std::to_string(i) + "].code", "the same code is stored twice");
    }
  }
  if (s.co2Min > s.co2Max || s.co2Value < s.co2Min || s.co2Value > s.co2Max) {
    Fail("co2", "needs min <= value <= max");
  }
  if (s.shortForms && s.version != 0x30) Fail("shortForms", "only a 3.0 unit sends short forms");
  const EepromSetup& e = s.eeprom;
  if (e.content.size() != e.Size()) Fail("eeprom", "content does not match the size");
  // A smaller EEPROM keeps the layout of the unit it started from unless the file names a new
  // one: the unit must never announce cells it does not have.
  const std::pair<const char*, std::uint16_t> layout[] = {
      {"eeprom.start", e.start},
      {"eeprom.checksumEnd", e.checksumEnd},
      {"eeprom.checksumAddress", e.checksumAddress}};
  for (const auto& [field, address] : layout) {
    if (address >= e.Size()) {
      Fail(field, "lies outside the EEPROM of " + std::to_string(e.Size()) +
                      " cells (give start, checksumEnd and checksumAddress for the new size)");
    }
  }
  for (std::size_t i = 0; i < e.stuck.size(); ++i) {
    if (e.stuck[i] >= e.Size()) {
      Fail("eeprom.stuck[" + std::to_string(i) + "]", "lies outside the EEPROM");
    }
  }
  if (e.checksumEnd != e.start) {
    if (e.checksumEnd < e.start) Fail("eeprom.checksumEnd", "lies before the start");
    if (e.checksumAddress >= e.start && e.checksumAddress <= e.checksumEnd) {
      Fail("eeprom.checksumAddress", "lies inside the checksum area");
    }
  }
}

bool ReadFile(const std::string& path, std::string* text, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::string names;
    for (const BuiltIn& b : kBuiltIns) names += (names.empty() ? "" : ", ") + std::string(b.name);
    *error = "cannot open scenario file \"" + path +
             "\" (and there is no built-in scenario of that name: " + names + ")";
    return false;
  }
  text->clear();
  char buffer[4096];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text->append(buffer, static_cast<std::size_t>(in.gcount()));
    if (text->size() > kMaxScenarioFileBytes) {
      *error = "scenario file \"" + path + "\" is larger than 1 MiB";
      return false;
    }
  }
  if (in.bad()) {
    *error = "cannot read scenario file \"" + path + "\"";
    return false;
  }
  return true;
}

std::string ParseMessage(const Json::parse_error& e) {
  std::string what = e.what();
  // "[json.exception.parse_error.101] parse error at line 3, ..." -> "parse error at line 3, ..."
  const auto bracket = what.find("] ");
  if (what.rfind("[json.exception", 0) == 0 && bracket != std::string::npos) {
    what.erase(0, bracket + 2);
  }
  return what;
}

// Runs `read`, turning every way it can fail into one message that begins with `origin`.
template <typename Read>
bool Guarded(const std::string& origin, std::string* error, Read read) {
  try {
    read();
    return true;
  } catch (const Json::parse_error& e) {
    *error = origin + ": " + ParseMessage(e);
  } catch (const FieldError& e) {
    *error = origin + ": " + e.path + ": " + e.message;
  } catch (const Json::exception& e) {
    *error = origin + ": " + e.what();
  } catch (const std::exception& e) {
    *error = origin + ": cannot be read (" + e.what() + ")";
  }
  return false;
}

}  // namespace

bool ParseVersion(std::string_view text, std::uint8_t* version) {
  if (text.size() != 3 || text[1] != '.' || !std::isdigit(static_cast<unsigned char>(text[0])) ||
      !std::isdigit(static_cast<unsigned char>(text[2]))) {
    return false;
  }
  *version = static_cast<std::uint8_t>((text[0] - '0') << 4 | (text[2] - '0'));
  return true;
}

std::string_view BuiltInScenarioJson(std::string_view name) {
  for (const BuiltIn& b : kBuiltIns) {
    if (b.name == name) return b.json;
  }
  return {};
}

std::vector<std::string> BuiltInScenarioNames() {
  std::vector<std::string> names;
  for (const BuiltIn& b : kBuiltIns) names.emplace_back(b.name);
  return names;
}

bool ApplyScenarioJson(std::string_view json, std::string_view origin, Scenario* scenario,
                       std::string* error) {
  Scenario s = *scenario;
  if (!Guarded(std::string(origin), error, [&] {
        Apply(ParseJson(json), &s);
        Validate(s);
      })) {
    return false;
  }
  *scenario = std::move(s);
  return true;
}

bool LoadScenario(std::string_view nameOrPath, std::string_view overrideJson, Scenario* out,
                  std::string* error, std::string_view device) {
  std::string ignored;
  if (!error) error = &ignored;
  Family wanted = Family::kHBus;
  if (!device.empty() && !ParseFamily(device, &wanted)) {
    *error = "no virtual unit for device \"" + std::string(device) + "\" (D00, D06)";
    return false;
  }
  const std::string_view familyDefault = wanted == Family::kKeyword ? "d06" : "v3.2";
  Scenario s;
  const std::string_view name = nameOrPath.empty() ? familyDefault : nameOrPath;
  if (!BuiltInScenarioJson(name).empty()) {
    ApplyBuiltIn(name, &s);
  } else {
    const std::string path(nameOrPath);
    std::string text;
    if (!ReadFile(path, &text, error)) return false;
    const std::string origin = "scenario file \"" + path + "\"";
    // A file starts from the built-in unit of its family or version unless it names another
    // base; a file that names neither, from the default unit of the device asked for.
    std::string_view base = familyDefault;
    if (!Guarded(origin, error, [&] {
          const Json j = ParseJson(text);
          if (!j.is_object()) return;
          Family family = Family::kHBus;
          const auto named = j.find("family");
          const auto version = j.find("version");
          if (named != j.end() && named->is_string() &&
              ParseFamily(named->get<std::string>(), &family)) {
            base = family == Family::kKeyword ? "d06" : "v3.2";
          }
          if (family == Family::kHBus && version != j.end()) {
            base = BaseFor(ReadVersion(*version, "version"));
          }
        })) {
      return false;
    }
    ApplyBuiltIn(base, &s);
    if (!ApplyScenarioJson(text, origin, &s, error)) return false;
  }
  if (!overrideJson.empty() && !ApplyScenarioJson(overrideJson, "scenario text", &s, error)) {
    return false;
  }
  if (!device.empty() && s.family != wanted) {
    *error = "scenario \"" + std::string(name) + "\" is a " + std::string(FamilyDevice(s.family)) +
             " unit, not " + std::string(FamilyDevice(wanted));
    return false;
  }
  *out = std::move(s);
  return true;
}

bool ParseFamily(std::string_view device, Family* family) {
  std::string upper(device);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  if (upper == "D00") {
    *family = Family::kHBus;
    return true;
  }
  if (upper == "D06") {
    *family = Family::kKeyword;
    return true;
  }
  return false;
}

std::string_view FamilyDevice(Family family) {
  return family == Family::kKeyword ? "D06" : "D00";
}

}  // namespace heatsim
