// The free telegram input: the hexadecimal fields the user types, the telegram made of them and
// the 264-byte FreeTele setting that keeps the last one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/settings.h"
#include "service/free_telegram.h"

namespace heatdiag::service {

// An address field: one hexadecimal number up to FF ("0x" allowed, blanks around it too);
// nullopt when no digit was read, other characters follow, or it is above FF.
std::optional<std::uint8_t> ParseHexAddress(std::string_view text);

// The data line: numbers separated by blanks and tabs, each up to FF; at most 256 are taken.
// nullopt when a number starts with no digit or is above FF.
std::optional<std::vector<std::uint8_t>> ParseHexData(std::string_view text);

// The telegram of the three fields, or nullopt when anything is not plausible.
std::optional<FreeTelegram> ParseFreeTelegramInput(std::string_view deviceAddress,
                                                   std::string_view sourceAddress,
                                                   std::string_view data, bool viewAnswer);

std::string FormatAddress(std::uint8_t address);       // "%02X"
std::string FormatData(const FreeTelegram& telegram);  // "%02X " per byte

// The setting block: the fields in order, the length and the check box little-endian. A stored
// length above 256 is taken as 256.
FreeTelegramBlock ToSettingsBlock(const FreeTelegram& telegram);
FreeTelegram FromSettingsBlock(const FreeTelegramBlock& block);

}  // namespace heatdiag::service
