// What the virtual heater is: protocol version, capabilities, identification, fault memory,
// EEPROM, the physical model's starting point and faults to inject. Built-in scenarios cover
// each protocol version; a JSON file may start from one of them and change what it names.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "virtual_heater.h"

namespace heatsim {

using Bytes = std::vector<std::uint8_t>;

// One entry of the unit's fault memory.
struct StoredFault {
  std::uint8_t code = 0;
  std::uint8_t state = 1;  // 0 not actual/not stored .. 3 actual and stored, 4 not actual
  std::uint8_t counter = 1;
  std::uint8_t stateCode = 0;  // operating state in which the fault was stored
  std::uint8_t stateNumber = 0;
  int temperatureC = 20;
  int voltageMv = 12000;
  std::uint16_t hours = 0;
  std::uint8_t minutes = 0;
};

struct Identification {
  std::string deviceName;  // up to 8 characters
  Bytes deviceNumber;      // 4 bytes from 3.0, 3 before
  char deviceNumberSuffix = 'A';
  Bytes hardware;        // 2 bytes
  Bytes software;        // 4 bytes (the first 2 before 3.0)
  Bytes softwareEeprom;  // 4 bytes, reported from 3.2
  Bytes datasetNumber;   // 4 bytes from 3.0, 3 before
  char datasetSuffix = 'A';
  std::uint8_t datasetDigit = 0;
  Bytes unitDate;    // 3 bytes, shown as day.month.year in hex digits
  Bytes heaterDate;  // 3 bytes
  Bytes farstartCode;
  Bytes customerNumber;
  Bytes serialNumber;  // 4 bytes before 3.0
  char testSignature = 'K';
  std::uint8_t testSignatureCode = 0;
};

struct EepromSetup {
  unsigned sizeExponent = 10;  // the EEPROM holds 1 << sizeExponent cells
  std::uint16_t start = 0;     // first cell of the dataset area
  std::uint16_t checksumEnd = 0;
  std::uint16_t checksumAddress = 0;
  Bytes content;                     // exactly 1 << sizeExponent bytes
  std::vector<std::uint16_t> stuck;  // cells that ignore writes
  std::size_t Size() const { return std::size_t{1} << sizeExponent; }
};

struct Inputs {
  bool mainSwitch = true;
  bool supplementalRequest = false;
  bool summer = false;
  bool pumpExternalControl = false;
  bool economic = false;
  bool generator = true;  // D+
  bool auxiliaryDrive = false;
  bool boost = false;
  bool ignition = true;  // terminal 15
};

// Where the physical model starts.
struct ModelStart {
  double ambientC = 18.0;
  double temperatureC = 18.0;
  int supplyMv = 12600;
  int noiseMv = 40;  // supply voltage noise, plus or minus
  std::uint32_t seed = 1;
  int glowPlugColdMohm = 600;
  int keepAliveTimeoutS = 20;  // a mode without keep-alive ends after this long
  std::int64_t workingMinutes = 0;
  std::int64_t operatingMinutes = 0;
  std::uint32_t startCount = 0;
  std::int64_t workingPhMinutes = 0;
  std::int64_t workingShMinutes = 0;
  std::uint32_t startsPh = 0;
  std::uint32_t startsSh = 0;
  std::uint32_t trsCount = 0;
  std::array<std::int64_t, 8> burningMinutes{};  // PH by load range 1..4, then SH
  std::uint8_t faultCounterPh = 0;
  std::uint8_t faultCounterSh = 0;
  std::uint8_t flameInterruptions = 0;
  bool overheatFlag = false;
  bool leanStartFlag = false;
  bool sleepFlag = false;
  double potentiometerC = 22.0;
};

struct Scenario {
  std::string name;
  std::uint8_t version = 0x32;  // high nibble major, low nibble minor
  bool shortForms = false;      // a 3.0 unit that sends the short reply forms
  Bytes capabilities;           // 0..8 bytes, reported from 3.0
  bool debugMode = true;
  int latencyMs = 20;
  Identification id;
  // Configuration (50 04)
  std::uint8_t fuelType = 0xD;  // 0 neutral, 0xA PME, 0xB gasoline, 0xD diesel, 0xF locked
  bool pumpInIdlePeriod = false;
  std::uint8_t heatingLimit = 6;       // tens of minutes, 25 and more: unlimited
  std::uint8_t ventilationFactor = 0;  // 1 = 3/4, 2 = 1/2, 3 = 1/4, other = 1/1
  // Thresholds (53 02, 50 11)
  int minVoltageMv = 10500;
  int maxVoltageMv = 16000;
  std::uint8_t minDelayS = 20;
  std::uint8_t maxDelayS = 20;
  int upperTemperatureC = 80;
  int lowerTemperatureC = 70;
  // CO2 trim
  std::uint8_t co2Value = 120;
  std::uint8_t co2Min = 100;
  std::uint8_t co2Max = 140;
  Inputs inputs;
  ModelStart model;
  std::vector<StoredFault> faults;
  EepromSetup eeprom;
  std::vector<FaultRule> injectedFaults;

  bool IsV3() const { return version >= 0x30; }
  bool HasCapability(unsigned byte, std::uint8_t bit) const {
    return IsV3() && byte < capabilities.size() && (capabilities[byte] & bit) != 0;
  }
};

// Builds a scenario: `nameOrPath` is a built-in name or a JSON file (empty: the default unit);
// `overrideJson` (may be empty) is applied on top. Returns false with a message that names the
// file and the field when something is wrong.
bool LoadScenario(std::string_view nameOrPath, std::string_view overrideJson, Scenario* out,
                  std::string* error);

// Applies JSON text in the scenario format to `scenario`. `origin` names the text in messages.
bool ApplyScenarioJson(std::string_view json, std::string_view origin, Scenario* scenario,
                       std::string* error);

// The JSON text of a built-in scenario; empty when the name is unknown.
std::string_view BuiltInScenarioJson(std::string_view name);

// "1.5" -> 0x15; false when the text is no version.
bool ParseVersion(std::string_view text, std::uint8_t* version);

}  // namespace heatsim
