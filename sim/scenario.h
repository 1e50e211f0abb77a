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

// The link family of a unit, named by the device record that serves it: "D00" the H-Bus unit,
// "D06" the water heater unit on the keyword link.
enum class Family { kHBus, kKeyword };

// One entry of the keyword unit's fault memory: its code, status byte and environment data.
struct KeywordFault {
  std::uint16_t code = 0;
  std::uint8_t status = 0;
  std::uint8_t counter = 1;
  int temperatureC = 20;           // sent through the sensor table of the old units
  std::uint8_t flameDetector = 0;  // raw
  int voltageMv = 12000;           // sent in steps of 68.26 mV
  std::uint8_t fuelPump = 0;       // raw
  std::uint8_t fan = 0;            // raw
  std::uint8_t glowPlug = 0;       // raw
};

// What only the keyword unit has.
struct KeywordSetup {
  std::uint8_t address = 0x51;                // the target byte the unit takes requests for
  Bytes keyBytes = {0xE9, 0x8F};              // sent after the answer to the start request
  bool acceptAnyKey = false;                  // the access answer is taken whatever its key
  bool heaterRunning = false;                 // the heater burns (parking heating) from the start
  int fuelPumpPeriod = -1;                    // a fixed fuel pump period byte; -1: from the model
  Bytes customerId = Bytes(9, 0x20);          // 9 characters, 0 bytes allowed
  Bytes customerData = Bytes(12, 0x00);       // the 12 bytes that follow them
  std::string deviceNumber = "00000000000";   // 11 characters
  std::string datasetNumber = "00000000000";  // 11 characters
  std::uint8_t hardwareVersion = 1;
  std::uint8_t softwareMajor = 1;
  std::uint8_t softwareMinor = 0;
  std::vector<KeywordFault> faults;  // at most 10: the fault list fills one frame
};

struct Scenario {
  Family family = Family::kHBus;
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
  KeywordSetup keyword;

  bool IsV3() const { return version >= 0x30; }
  bool HasCapability(unsigned byte, std::uint8_t bit) const {
    return IsV3() && byte < capabilities.size() && (capabilities[byte] & bit) != 0;
  }
};

// Builds a scenario: `nameOrPath` is a built-in name or a JSON file (empty: the default unit);
// `overrideJson` (may be empty) is applied on top. `device` ("D00", "D06", any case; empty: as
// the scenario says) chooses the family: the default unit is that family's, a file that names
// no family is taken as one of it, and a scenario of another family is refused. Returns false
// with a message that names the file and the field when something is wrong.
bool LoadScenario(std::string_view nameOrPath, std::string_view overrideJson, Scenario* out,
                  std::string* error, std::string_view device = {});

// "D00" / "D06" (any case) -> the family; false for any other text.
bool ParseFamily(std::string_view device, Family* family);
// The device record of a family: "D00", "D06".
std::string_view FamilyDevice(Family family);

// Applies JSON text in the scenario format to `scenario`. `origin` names the text in messages.
bool ApplyScenarioJson(std::string_view json, std::string_view origin, Scenario* scenario,
                       std::string* error);

// The JSON text of a built-in scenario; empty when the name is unknown.
std::string_view BuiltInScenarioJson(std::string_view name);

// "1.5" -> 0x15; false when the text is no version.
bool ParseVersion(std::string_view text, std::uint8_t* version);

}  // namespace heatsim
