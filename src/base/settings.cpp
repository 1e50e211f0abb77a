#include "base/settings.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <system_error>
#include <type_traits>

namespace heatdiag {
namespace {

using S = Settings;
using K = SettingKind;

constexpr SettingDescriptor Integer(const char* section, const char* value,
                                    std::int32_t Settings::*target, const char* defaultText) {
  return {section, value, target, K::kInteger, 0, defaultText};
}
constexpr SettingDescriptor Text(const char* section, const char* value,
                                 std::string Settings::*target, const char* defaultText) {
  return {section, value, target, K::kText, 0, defaultText};
}
template <std::size_t N>
constexpr SettingDescriptor Block(const char* section, const char* value,
                                  std::array<std::uint8_t, N> Settings::*target) {
  return {section, value, target, K::kByteBlock, static_cast<std::uint32_t>(N), ""};
}
constexpr SettingDescriptor Double(const char* section, const char* value, double Settings::*target,
                                   const char* defaultText) {
  return {section, value, target, K::kDouble, 0, defaultText};
}

constexpr std::array kTable = {
    Integer("Setting", "COM Port", &S::comPort, "1"),
    Text("Setting", "ReadEOL", &S::readEol, "*.EOL"),
    Text("Setting", "WriteEOL", &S::writeEol, "*.EOL"),
    Integer("Setting", "HBusBlock", &S::hbusBlock, "1"),
    Integer("Setting", "HBusBlockBaud", &S::hbusBlockBaud, "9600"),
    Integer("Setting", "AutoStart", &S::autoStart, "0"),
    Integer("Setting", "LastDevice", &S::lastDevice, "0"),
    Integer("Setting", "EOLBackup", &S::eolBackup, "0"),
    Text("Setting", "LastReport", &S::lastReport, "*.TXT"),
    Integer("Window", "Left", &S::windowLeft, "0"),
    Integer("Window", "Right", &S::windowRight, "698"),
    Integer("Window", "Top", &S::windowTop, "0"),
    Integer("Window", "Bottom", &S::windowBottom, "644"),
    Block("ParView", "Pos", &S::parViewPos),
    Double("ParView", "Clm1", &S::parViewClm1, "0.5"),
    Double("ParView", "Clm2", &S::parViewClm2, "0.3"),
    Integer("ParView", "Open", &S::parViewOpen, "0"),
    Block("Overview", "Pos", &S::overviewPos),
    Integer("Overview", "Open", &S::overviewOpen, "1"),
    Block("InfoView", "Pos", &S::infoViewPos),
    Double("InfoView", "Clm1", &S::infoViewClm1, "0.5"),
    Double("InfoView", "Clm2", &S::infoViewClm2, "0.3"),
    Integer("InfoView", "Open", &S::infoViewOpen, "0"),
    Block("WorkView", "Pos", &S::workViewPos),
    Double("WorkView", "Clm1", &S::workViewClm1, "0.5"),
    Double("WorkView", "Clm2", &S::workViewClm2, "0.3"),
    Integer("WorkView", "Open", &S::workViewOpen, "0"),
    Block("ErrorView", "Pos", &S::errorViewPos),
    Double("ErrorView", "Clm1", &S::errorViewClm1, "0.5"),
    Double("ErrorView", "Clm2", &S::errorViewClm2, "0.3"),
    Integer("ErrorView", "Open", &S::errorViewOpen, "0"),
    Block("TrendView", "Pos", &S::trendViewPos),
    Integer("TrendView", "Open", &S::trendViewOpen, "0"),
    Integer("TrendView", "Tiled", &S::trendViewTiled, "1"),
    Integer("TrendView", "Active", &S::trendViewActive, "65535"),
    Block("ProtView", "Pos", &S::protViewPos),
    Integer("ProtView", "Open", &S::protViewOpen, "0"),
    Integer("ProtView", "Sequence", &S::protViewSequence, "1"),
    Integer("ProtView", "RxTx", &S::protViewRxTx, "1"),
    Integer("ProtView", "Log", &S::protViewLog, "0"),
    Text("ProtView", "File", &S::protViewFile, "HDG.LOG"),
    Integer("LastInput", "FillTime", &S::fillTime, "158"),
    Integer("LastInput", "AdjVoltage", &S::adjVoltage, "12000"),
    Integer("LastInput", "AdjGlowPlug", &S::adjGlowPlug, "500"),
    Block("LastInput", "FreeTele", &S::freeTele),
    Text("LastInput", "ProtoFile", &S::protoFile, "*.LOG"),
    Integer("LastInput", "ProtoTime", &S::protoTime, "10"),
    Text("Print", "FontProp", &S::fontProp, "Arial"),
    Text("Print", "FontMono", &S::fontMono, "Courier New"),
    Block("Debug", "Pos", &S::debugPos),
    Text("Debug", "Header", &S::debugHeader, "*.H"),
    Integer("EEPROM", "Start", &S::eepromStart, "1"),
    Integer("EEPROM", "Size", &S::eepromSize, "512"),
    Integer("EEPROM", "CheckStart", &S::eepromCheckStart, "1"),
    Integer("EEPROM", "CheckEnd", &S::eepromCheckEnd, "403"),
    Integer("EEPROM", "CheckSum", &S::eepromCheckSum, "404"),
};
static_assert(kTable.size() == 56);

constexpr std::array kExtraTable = {
    Integer("ProtView", "TimeStamps", &S::protViewTimeStamps, "0"),
};

constexpr const char* kPortsSection = "Ports";
constexpr std::array<const char*, kPortCount> kPortValues = {"COM1", "COM2", "COM3", "COM4", "COM5",
                                                             "COM6", "COM7", "COM8", "COM9"};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

template <typename T, typename Member>
constexpr bool IsMember = std::is_same_v<Member, T Settings::*>;

void Apply(const SettingDescriptor& descriptor, std::string_view text, Settings& settings) {
  std::visit(
      [&](auto member) {
        using Member = decltype(member);
        auto& target = settings.*member;
        if constexpr (IsMember<std::int32_t, Member>) {
          target = ParseSettingInteger(text);
        } else if constexpr (IsMember<double, Member>) {
          // A stored infinity or NaN would break every caller's arithmetic: take the default.
          auto parsed = ParseSettingDouble(text);
          if (!parsed) parsed = ParseSettingDouble(descriptor.defaultText);
          target = parsed.value_or(0.0);
        } else if constexpr (IsMember<std::string, Member>) {
          target = CutSettingText(text);
        } else {
          ParseSettingBlock(text, target);
        }
      },
      descriptor.target);
}

std::string Format(const SettingDescriptor& descriptor, const Settings& settings) {
  return std::visit(
      [&](auto member) -> std::string {
        using Member = decltype(member);
        const auto& source = settings.*member;
        if constexpr (IsMember<std::int32_t, Member>) {
          return FormatSettingInteger(source);
        } else if constexpr (IsMember<double, Member>) {
          return FormatSettingDouble(source);
        } else if constexpr (IsMember<std::string, Member>) {
          return CutSettingText(source);
        } else {
          return FormatSettingBlock(source);
        }
      },
      descriptor.target);
}

void PutLe32(std::uint8_t* out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t GetLe32(const std::uint8_t* in) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(in[i]) << (8 * i);
  return value;
}

}  // namespace

std::span<const SettingDescriptor> SettingsTable() {
  return kTable;
}

std::span<const SettingDescriptor> ExtraSettingsTable() {
  return kExtraTable;
}

PlacementBlock PackPlacement(const WindowPlacement& placement) {
  const std::uint32_t fields[11] = {
      placement.length,
      placement.flags,
      placement.showCommand,
      static_cast<std::uint32_t>(placement.minX),
      static_cast<std::uint32_t>(placement.minY),
      static_cast<std::uint32_t>(placement.maxX),
      static_cast<std::uint32_t>(placement.maxY),
      static_cast<std::uint32_t>(placement.left),
      static_cast<std::uint32_t>(placement.top),
      static_cast<std::uint32_t>(placement.right),
      static_cast<std::uint32_t>(placement.bottom),
  };
  PlacementBlock block{};
  for (std::size_t i = 0; i < 11; ++i) PutLe32(block.data() + 4 * i, fields[i]);
  return block;
}

WindowPlacement UnpackPlacement(const PlacementBlock& block) {
  auto field = [&](std::size_t i) { return GetLe32(block.data() + 4 * i); };
  auto signedField = [&](std::size_t i) { return static_cast<std::int32_t>(field(i)); };
  WindowPlacement p;
  p.length = field(0);
  p.flags = field(1);
  p.showCommand = field(2);
  p.minX = signedField(3);
  p.minY = signedField(4);
  p.maxX = signedField(5);
  p.maxY = signedField(6);
  p.left = signedField(7);
  p.top = signedField(8);
  p.right = signedField(9);
  p.bottom = signedField(10);
  return p;
}

std::int32_t ParseSettingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate as a negative number so that INT32_MIN itself fits.
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 - (text[i] - '0');
    if (value < kMin) {
      value = kMin - 1;  // saturated; the sign below decides the bound
      while (i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') ++i;
    }
  }
  if (negative) return static_cast<std::int32_t>(value < kMin ? kMin : value);
  return static_cast<std::int32_t>(-value > kMax ? kMax : -value);
}

std::optional<double> ParseSettingDouble(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  // from_chars rejects a leading '+' and reads the sign itself; a second sign is garbage.
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) return 0.0;
  double value = 0.0;
  const char* first = text.data() + i;
  const char* last = text.data() + text.size();
  auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
  if (end == first) return 0.0;  // no number at all
  if (error == std::errc::result_out_of_range) return std::nullopt;
  if (!std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
}

std::size_t ParseSettingBlock(std::string_view text, std::span<std::uint8_t> out) {
  std::size_t pos = 0;
  std::size_t stored = 0;
  while (stored < out.size()) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    if (pos >= text.size() || HexDigit(text[pos]) < 0) break;
    unsigned value = 0;
    for (; pos < text.size() && HexDigit(text[pos]) >= 0; ++pos)
      value = ((value << 4) | static_cast<unsigned>(HexDigit(text[pos]))) & 0xFFu;
    out[stored++] = static_cast<std::uint8_t>(value);
    if (pos < text.size() && text[pos] == ',') ++pos;
  }
  return stored;
}

std::string CutSettingText(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  constexpr std::size_t kMaxChars = kSettingTextSize - 1;
  if (text.size() <= kMaxChars) return std::string(text);
  std::size_t cut = kMaxChars;
  // Step back over continuation bytes so that the cut does not split a character.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0u) == 0x80u) --cut;
  return std::string(text.substr(0, cut));
}

std::string FormatSettingInteger(std::int32_t value) {
  return std::to_string(value);
}

std::string FormatSettingDouble(double value) {
  // "%f" without the locale's decimal separator: the stored text must read back anywhere.
  char buffer[400];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  if (error != std::errc()) return "0.000000";
  return std::string(buffer, end);
}

std::string FormatSettingBlock(std::span<const std::uint8_t> bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 3);
  for (std::uint8_t byte : bytes) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0x0F];
    text += ',';
  }
  return text;
}

std::optional<std::string> MemorySettingsBackend::ReadText(std::string_view section,
                                                           std::string_view value) {
  auto it = values_.find(Key(section, value));
  if (it == values_.end()) return std::nullopt;
  if (const auto* text = std::get_if<std::string>(&it->second)) return *text;
  return std::nullopt;
}

bool MemorySettingsBackend::WriteText(std::string_view section, std::string_view value,
                                      std::string_view text) {
  if (refused_.contains(section)) return false;
  values_[Key(section, value)] = std::string(text);
  return true;
}

void MemorySettingsBackend::StoreNonText(std::string_view section, std::string_view value) {
  values_[Key(section, value)] = NonText{};
}

void MemorySettingsBackend::RefuseWrites(std::string_view section) {
  refused_.emplace(section);
}

bool MemorySettingsBackend::Contains(std::string_view section, std::string_view value) const {
  return values_.contains(Key(section, value));
}

void ReadSettings(SettingsBackend& backend, Settings& settings) {
  settings = Settings{};
  for (const SettingDescriptor& descriptor : kTable) {
    std::optional<std::string> stored = backend.ReadText(descriptor.section, descriptor.value);
    Apply(descriptor, stored ? std::string_view(*stored) : descriptor.defaultText, settings);
  }
  for (int port = 0; port < kPortCount; ++port) {
    std::optional<std::string> stored = backend.ReadText(kPortsSection, kPortValues[port]);
    settings.portPaths[port] = stored ? CutSettingText(*stored) : std::string();
  }
  for (const SettingDescriptor& descriptor : kExtraTable) {
    std::optional<std::string> stored = backend.ReadText(descriptor.section, descriptor.value);
    Apply(descriptor, stored ? std::string_view(*stored) : descriptor.defaultText, settings);
  }
}

void WriteSettings(SettingsBackend& backend, const Settings& settings) {
  for (const SettingDescriptor& descriptor : kTable)
    backend.WriteText(descriptor.section, descriptor.value, Format(descriptor, settings));
  for (int port = 0; port < kPortCount; ++port)
    backend.WriteText(kPortsSection, kPortValues[port], CutSettingText(settings.portPaths[port]));
  for (const SettingDescriptor& descriptor : kExtraTable)
    backend.WriteText(descriptor.section, descriptor.value, Format(descriptor, settings));
}

Settings& ProgramSettings() {
  static Settings settings;
  return settings;
}

void SaveSettings(SettingsBackend& backend) {
  WriteSettings(backend, ProgramSettings());
}

}  // namespace heatdiag
