// Parameter catalogues: the constant description of every value a driver delivers, the
// operating-state name tables, and the rules by which a stored value becomes display text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace heatdiag {

// How a catalogue row's value is held in the store.
enum class ValueKind : std::uint16_t {
  kSigned = 0,    // signed integer
  kUnsigned = 1,  // unsigned integer
  kReal = 2,      // double
  kText = 3,      // NUL-terminated text, `size` bytes including the NUL
};

// Which views show a row. A row may carry several bits; bits 16-19 hold the fault slot.
enum ViewMask : std::uint32_t {
  kViewMeasured = 0x0001,   // parameter list: supply voltage, temperature, energy, gradients
  kViewInputs = 0x0002,     // parameter list: switches, flame detector, sensor values
  kViewActuators = 0x0004,  // parameter list: glow plug %, fuel pump Hz, fan, pump levels
  kViewStates = 0x0008,     // parameter list: on/off states, flags, operating state
  kViewParameterList = 0x000F,
  kViewOperatingData = 0x0020,
  kViewDeviceInfo = 0x0040,
  kViewFaultCount = 0x0080,
  kViewFaultHeading = 0x0100,  // the "Fault k" row; its value is the fault code
  kViewFaultState = 0x0200,    // its value is the fault state 0..4
  kViewFaultDetail = 0x0400,
  kViewFaultList = 0x0F00,
  kViewGraph = 0x1000,
  kViewReport = 0x2000,  // with kViewDeviceInfo or kViewOperatingData for the section
  kViewLog = 0x4000,     // measurement log file
  kViewFaultSlotMask = 0xF0000,
};

inline constexpr unsigned kFaultSlotShift = 16;

// Fault slot of a row (0 for the first fault, k-1 for fault k).
constexpr std::uint32_t FaultSlot(std::uint32_t viewMask) {
  return (viewMask & kViewFaultSlotMask) >> kFaultSlotShift;
}
constexpr std::uint32_t FaultSlotBits(std::uint32_t slot) {
  return (slot << kFaultSlotShift) & kViewFaultSlotMask;
}

// String ids of the unit texts; 0 is "no unit".
enum UnitId : std::uint32_t {
  kUnitNone = 0,
  kUnitPercent = 10000,     // "[%]"
  kUnitVolt = 10001,        // "[V]"
  kUnitCelsius = 10002,     // "[°C]"
  kUnitHertz = 10003,       // "[Hz]"
  kUnitOhm = 10004,         // "[Ohm]"
  kUnitHourMinute = 10005,  // "[h:m]"
  kUnitPerMinute = 10006,   // "[1/min]"
  kUnitMinute = 10007,      // "[min]"
  kUnitWatt = 10008,        // "[W]"
  kUnitSecond = 10009,      // "[s]"
  kUnitWeekYear = 10010,    // "[week/year]"
  kUnitHour = 10011,        // "[h]"
  kUnitByteRange = 10012,   // "[0..255]"
};

// One catalogue row. The three numeric texts are decimal ("" = none); the store parses them
// when it makes the row: base-10 signed for kSigned, unsigned for kUnsigned, a double for kReal.
struct ParameterDescriptor {
  ValueKind kind;
  std::uint32_t size;    // bytes of value storage (text: buffer size including the NUL)
  char min[32];          // lower end of the initial display range
  char max[32];          // upper end of the initial display range
  char resolution[32];   // step of the value: decides the decimals of a real value
  std::uint32_t nameId;  // "long name" or "long name\nshort name"
  std::uint32_t unitId;  // UnitId, 0 = none
  std::uint32_t viewMask;
};

// A driver's catalogue; the row number is the parameter index.
using ParameterCatalogue = std::span<const ParameterDescriptor>;

// Number of device table records (D00..D18); an index of 19 or more means no device.
inline constexpr std::uint32_t kDeviceCount = 19;

// The catalogue of a device table record (D10/D11 and D16/D17 share one). Empty for an index
// of kDeviceCount or more.
ParameterCatalogue DriverCatalogue(std::uint32_t device);

// Where the fault blocks of a catalogue sit, found from the view masks.
struct FaultBlockLayout {
  std::size_t countRow = 0;      // the "Count of faults" row (kViewFaultCount); npos if none
  std::size_t firstRow = 0;      // heading row of the first block
  std::size_t rowsPerBlock = 0;  // heading row plus detail rows
  std::size_t blocks = 0;        // 0 when the catalogue has none
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);
};
FaultBlockLayout FaultBlocksOf(ParameterCatalogue catalogue);

// --- Operating-state names -----------------------------------------------------------------

// Maps an operating-state code reported by a control unit to a state text. In the original
// tables a record with textId 0 ends the table; here the span's end does, and a 0 record inside
// a span ends the search as well.
struct StateNameEntry {
  std::uint8_t code;
  std::uint8_t shownNumber;  // 0, or a step number appended to the text
  std::uint32_t textId;      // 10600..10769: "SHORT\nLong text"
};
using StateNameTable = std::span<const StateNameEntry>;

inline constexpr std::uint32_t kFirstStateTextId = 10600;
inline constexpr std::uint32_t kUnknownStateTextId = 10689;  // "???\nUnknown state"

// The operating-state table of a device record; for D00 the table of H-Bus 3.0 and later
// (HBusStateTable in drivers/hbus/catalogue.h picks by version). Empty where the record has
// none (D02, D09, D13, D16, D17) and for an index of kDeviceCount or more.
StateNameTable DriverStateTable(std::uint32_t device);

// The first record of `table` with this code, or nullptr.
const StateNameEntry* FindState(StateNameTable table, std::uint8_t code);

// Long form for the stored "Operating state" values: "Glowing", "Glowing 2" (number from the
// telegram, else the record's shownNumber), "Unknown state 99" for a code not in the table.
std::string StateText(StateNameTable table, std::uint8_t code, int number);

// Short form for the protocol's state changes: "VGL", "VGL2", "??? 99".
std::string StateShortText(StateNameTable table, std::uint8_t code, int number);

// Adds the change to the protocol with the short names and the seconds since the previous
// change (base/protocol.h); nothing when the state stays the same.
void ProtocolStateChange(StateNameTable table, std::uint8_t oldState, int oldNumber,
                         std::uint8_t newState, int newNumber);

// --- Names and units -----------------------------------------------------------------------

enum class NameForm : int { kLong = 0, kShort = 1 };

// The long name (up to the first newline) or the short name (after it) of a name string; a
// name without newline is returned whole in both forms. Empty for an unknown id.
std::string NameText(std::uint32_t nameId, NameForm form);

// Name and unit of a catalogue row; empty for an index outside the catalogue or unit id 0.
std::string ParameterName(ParameterCatalogue catalogue, std::size_t index, NameForm form);
std::string ParameterUnit(ParameterCatalogue catalogue, std::size_t index);
std::string UnitText(std::uint32_t unitId);

// --- Value text ----------------------------------------------------------------------------

// Display text of a real value with the decimals its resolution gives (< 0.01: three,
// < 0.1: two, < 1: one, else none), rounded half away from zero, trailing zeros stripped and a
// comma as decimal separator: 12.5/0.01 -> "12,5", 3.0/0.001 -> "3", -0.5/0.1 -> "-0,5",
// 99.6/1 -> "100". Not-a-number and infinities give "nan", "inf" and "-inf".
std::string FormatReal(double value, double resolution);

// Each byte as two upper-case hex digits, cut to maxChars characters.
std::string BytesToHex(std::span<const std::uint8_t> bytes,
                       std::size_t maxChars = static_cast<std::size_t>(-1));

// Two hex digits per byte (either case); a character that is no hex digit counts as 0; a lone
// last digit is the high nibble. Writes at most out.size() bytes, returns the number written.
std::size_t HexToBytes(std::string_view text, std::span<std::uint8_t> out);
std::vector<std::uint8_t> HexToBytes(std::string_view text);

// `count` characters '0'/'1', most significant bit first (bits above 31 read as 0).
std::string BitsToText(std::uint32_t value, unsigned count);

// A decimal entry: digits, optionally "," or "." and fractional digits, scaled by 10^decimals
// ("12,5" with 1 decimal -> 125, "12" -> 120; digits beyond `decimals` are ignored). Leading
// blanks are skipped, text after the number is ignored. No digit at all gives nullopt; a value
// beyond the 64-bit range saturates. `decimals` above 18 is taken as 18.
std::optional<std::int64_t> ParseFixed(std::string_view text, unsigned decimals);

// --- Small text tables (string ids) ---------------------------------------------------------

enum CatalogueTextId : std::uint32_t {
  kTextFuelDiesel = 10500,
  kTextFuelGasoline = 10501,
  kTextFuelPme = 10502,
  kTextFuelNeutral = 10503,
  kTextFuelLocked = 10504,
  kTextOff = 10510,
  kTextOn = 10511,
  kTextNoFault = 10512,     // "no fault"
  kTextFaultCount = 10513,  // "%d fault(s)"
  kTextFlagUehfl = 10514,
  kTextFlagStfl = 10515,
  kTextFlagRzfl = 10516,
  kTextFlagSafl = 10517,
  kTextFuelInvalid = 10518,
  kTextLogDate = 10519,
  kTextLogTime = 10520,
  kTextModePartLoad = 10521,  // operating mode texts of D02: 10521..10535, 10538
  kTextModeFullLoad = 10522,
  kTextModeParkingHeating = 10523,
  kTextModeHeaterOff = 10524,
  kTextModeSupplementalHeating = 10525,
  kTextModeVentilating = 10526,
  kTextModeHeating = 10527,
  kTextModeAirFanOn = 10528,
  kTextModeAirFanOff = 10529,
  kTextModeAutomatic = 10530,
  kTextModeManual = 10531,
  kTextModeStart = 10532,
  kTextModeAfterRun = 10533,
  kTextModeControlIdle = 10534,
  kTextModeFault = 10535,
  kTextModeUnknown = 10538,
  kTextSupply12V = 10539,
  kTextSupply24V = 10540,
  kTextFaultStateBase = 18000,     // + state 0..4
  kTextFlameDetectorBase = 18100,  // + state 0..6
};

// The device state line of the water heaters: "no fault" or "3 fault(s)", then ", UEHFL",
// ", STFL", ", RZFL", ", SAFL" for each set flag in that order.
struct StatusFlags {
  bool overheat = false;   // UEHFL
  bool fault = false;      // STFL
  bool sleep = false;      // RZFL
  bool leanStart = false;  // SAFL
};
std::string DeviceStateText(unsigned faultCount, StatusFlags flags);

}  // namespace heatdiag
