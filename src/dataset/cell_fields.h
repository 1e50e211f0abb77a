// The text fields of the "EOL cell" and "Baud rate for block mode" dialogs: parsing what is
// typed and showing a value in each base.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace heatdiag {

// A run of digits of the base (2, 10 or 16) after optional blanks; reading stops at the first
// character that is not such a digit. nullopt when no digit was read (or the number passes
// 0xFFFFFFFF).
std::optional<std::uint32_t> ParseCellField(const std::string& text, int base);

// An address as the cell dialog shows it: "%03X", "%d" or 16 binary digits; "?" for the
// invalid mark 0xFFFF or an address outside start .. size - 1.
std::string FormatCellAddress(std::uint32_t address, std::uint16_t start, std::uint16_t size,
                              int base);
// A value: "%02X", "%d" or 8 binary digits; "?" above 255.
std::string FormatCellValue(std::uint32_t value, int base);

// The block rate typed into its dialog: a run of decimal digits that is a multiple of 300 from
// 2400 to 38400; nullopt otherwise.
std::optional<std::int32_t> ParseBlockBaud(const std::string& text);

}  // namespace heatdiag
