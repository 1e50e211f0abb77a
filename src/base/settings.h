// The program's persistent settings: one constant table of descriptors that names, for every
// setting variable, its section, value name, kind and default text. The whole table is loaded
// once at start-up and saved once at exit; in between the program works on the variables only.
//
// Every setting is stored as text, whatever its kind: integers as decimal digits, texts as
// themselves, byte blocks as "%02X," per byte (so a block ends with a comma), doubles as "%f".
// The storage itself sits behind SettingsBackend: QSettings for the programs, a map for tests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace heatdiag {

// A saved window placement: length, flags, show state, minimised and maximised positions and
// the normal rectangle, 44 bytes little-endian. A length of 0 means that none was saved.
struct WindowPlacement {
  std::uint32_t length = 0;
  std::uint32_t flags = 0;
  std::uint32_t showCommand = 0;
  std::int32_t minX = 0, minY = 0;
  std::int32_t maxX = 0, maxY = 0;
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

inline constexpr std::size_t kPlacementBytes = 44;
inline constexpr std::size_t kFreeTelegramBytes = 264;
inline constexpr std::size_t kDebugPosBytes = 8;
// Size of a text setting's variable including its terminating zero: at most 255 characters.
inline constexpr std::size_t kSettingTextSize = 256;
inline constexpr int kPortCount = 9;

using PlacementBlock = std::array<std::uint8_t, kPlacementBytes>;
using FreeTelegramBlock = std::array<std::uint8_t, kFreeTelegramBytes>;
using DebugPosBlock = std::array<std::uint8_t, kDebugPosBytes>;

PlacementBlock PackPlacement(const WindowPlacement& placement);
WindowPlacement UnpackPlacement(const PlacementBlock& block);

// The setting variables, in table order. Texts hold at most 255 characters.
struct Settings {
  // Setting
  std::int32_t comPort = 0;
  std::string readEol;
  std::string writeEol;
  std::int32_t hbusBlock = 0;
  std::int32_t hbusBlockBaud = 0;
  std::int32_t autoStart = 0;
  std::int32_t lastDevice = 0;
  std::int32_t eolBackup = 0;
  std::string lastReport;
  // Window: the frame rectangle
  std::int32_t windowLeft = 0;
  std::int32_t windowRight = 0;
  std::int32_t windowTop = 0;
  std::int32_t windowBottom = 0;
  // ParView
  PlacementBlock parViewPos{};
  double parViewClm1 = 0;
  double parViewClm2 = 0;
  std::int32_t parViewOpen = 0;
  // Overview
  PlacementBlock overviewPos{};
  std::int32_t overviewOpen = 0;
  // InfoView
  PlacementBlock infoViewPos{};
  double infoViewClm1 = 0;
  double infoViewClm2 = 0;
  std::int32_t infoViewOpen = 0;
  // WorkView
  PlacementBlock workViewPos{};
  double workViewClm1 = 0;
  double workViewClm2 = 0;
  std::int32_t workViewOpen = 0;
  // ErrorView
  PlacementBlock errorViewPos{};
  double errorViewClm1 = 0;
  double errorViewClm2 = 0;
  std::int32_t errorViewOpen = 0;
  // TrendView
  PlacementBlock trendViewPos{};
  std::int32_t trendViewOpen = 0;
  std::int32_t trendViewTiled = 0;
  std::int32_t trendViewActive = 0;
  // ProtView
  PlacementBlock protViewPos{};
  std::int32_t protViewOpen = 0;
  std::int32_t protViewSequence = 0;
  std::int32_t protViewRxTx = 0;
  std::int32_t protViewLog = 0;
  std::string protViewFile;
  // LastInput
  std::int32_t fillTime = 0;
  std::int32_t adjVoltage = 0;
  std::int32_t adjGlowPlug = 0;
  FreeTelegramBlock freeTele{};
  std::string protoFile;
  std::int32_t protoTime = 0;
  // Print
  std::string fontProp;
  std::string fontMono;
  // Debug
  DebugPosBlock debugPos{};
  std::string debugHeader;
  // EEPROM
  std::int32_t eepromStart = 0;
  std::int32_t eepromSize = 0;
  std::int32_t eepromCheckStart = 0;
  std::int32_t eepromCheckEnd = 0;
  std::int32_t eepromCheckSum = 0;

  // Section "Ports", values "COM1".."COM9": the device path of each port number; empty keeps
  // the serial layer's default path. Index 0 is COM1.
  std::array<std::string, kPortCount> portPaths;

  // Beyond the table: ProtView "TimeStamps", the Protocol view shows each line's time.
  std::int32_t protViewTimeStamps = 0;

  bool operator==(const Settings&) const = default;
};

enum class SettingKind : std::uint8_t { kInteger = 0, kText = 1, kByteBlock = 2, kDouble = 3 };

using SettingTarget =
    std::variant<std::int32_t Settings::*, std::string Settings::*, PlacementBlock Settings::*,
                 FreeTelegramBlock Settings::*, DebugPosBlock Settings::*, double Settings::*>;

struct SettingDescriptor {
  const char* section;
  const char* value;
  SettingTarget target;
  SettingKind kind;
  std::uint32_t count;  // bytes of a byte block, 0 for the other kinds
  const char* defaultText;
};

// The 56 descriptors in table order.
std::span<const SettingDescriptor> SettingsTable();

// Where the settings are kept. A value that is missing or not stored as text reads as nullopt.
class SettingsBackend {
 public:
  virtual ~SettingsBackend() = default;
  virtual std::optional<std::string> ReadText(std::string_view section, std::string_view value) = 0;
  // False when the value could not be written; the old stored value then stays.
  virtual bool WriteText(std::string_view section, std::string_view value,
                         std::string_view text) = 0;
};

// A backend in memory, for tests and for runs that must not touch the user's settings.
class MemorySettingsBackend : public SettingsBackend {
 public:
  std::optional<std::string> ReadText(std::string_view section, std::string_view value) override;
  bool WriteText(std::string_view section, std::string_view value, std::string_view text) override;

  // Stores a value of another type than text (it reads as missing).
  void StoreNonText(std::string_view section, std::string_view value);
  // Makes every write into the section fail, as a key that cannot be created.
  void RefuseWrites(std::string_view section);
  bool Contains(std::string_view section, std::string_view value) const;
  std::size_t Size() const { return values_.size(); }

 private:
  struct NonText {};
  using Key = std::pair<std::string, std::string>;
  std::map<Key, std::variant<std::string, NonText>> values_;
  std::set<std::string, std::less<>> refused_;
};

// Value conversions of the stored texts.
// Integer: leading blanks and a sign, then decimal digits up to the first non-digit; no digits
// give 0; a number beyond the 32-bit range is clamped to it.
std::int32_t ParseSettingInteger(std::string_view text);
// Double: decimal notation independent of the locale; no number gives 0; a value that is not
// finite gives nullopt.
std::optional<double> ParseSettingDouble(std::string_view text);
// Byte block: up to out.size() hexadecimal numbers one after another, each stored as one byte
// (its low eight bits), a comma after a number skipped; stops when no further number can be
// read, leaving the remaining bytes as they are. Returns the number of bytes read.
std::size_t ParseSettingBlock(std::string_view text, std::span<std::uint8_t> out);
// A text setting's value: cut at an embedded zero and to at most 255 bytes, never inside a
// UTF-8 sequence.
std::string CutSettingText(std::string_view text);

std::string FormatSettingInteger(std::int32_t value);
std::string FormatSettingDouble(double value);  // "%f", always with a decimal point
std::string FormatSettingBlock(std::span<const std::uint8_t> bytes);

// The settings kept beyond the 56 of the table, in the same text formats.
std::span<const SettingDescriptor> ExtraSettingsTable();

// Reads every setting of the table (and the port paths and extra settings) from the backend into
// settings, after setting all variables to zero; a missing or non-text value takes the default
// text.
void ReadSettings(SettingsBackend& backend, Settings& settings);
// Writes every setting in table order, then the port paths and the extra settings; a value that
// cannot be written is skipped.
void WriteSettings(SettingsBackend& backend, const Settings& settings);

// The program's one set of setting variables.
Settings& ProgramSettings();
// (Start-up: LoadSettings in shell/program_settings.h reads them and hands on the port paths.)
// Exit: WriteSettings from the program's settings.
void SaveSettings(SettingsBackend& backend);

}  // namespace heatdiag
