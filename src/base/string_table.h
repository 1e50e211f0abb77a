// Every user-visible text of the program, addressed by its string id.
//
// Each area of the program keeps its texts in its own texts.cpp as a table of {id, text};
// this module joins them into one lookup. Ranges for ids that no screen or file fixes:
//   30000-30999 link, 31000-31499 driver table, store and search, 31500-31999 H-Bus driver,
//   32000-32999 shell, 33000-33999 views,
//   34000-34999 dataset, 35000-35999 service, 36000-36999 debug, 37000-37999 report,
//   40000-59999 parameter names of the catalogues.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace heatdiag {

struct StringEntry {
  std::uint32_t id;
  const char* text;
};

// The texts of each area (defined in that area's texts.cpp).
std::span<const StringEntry> LinkTexts();
std::span<const StringEntry> DriverTexts();     // drivers/texts.cpp: table, store, search
std::span<const StringEntry> CatalogueTexts();  // drivers/catalogue/texts.cpp
std::span<const StringEntry> HBusTexts();       // drivers/hbus/texts.cpp
std::span<const StringEntry> ShellTexts();
std::span<const StringEntry> ViewTexts();
std::span<const StringEntry> FaultTexts();  // views/fault_texts_table.cpp: fault texts
std::span<const StringEntry> DatasetTexts();
std::span<const StringEntry> ServiceTexts();
std::span<const StringEntry> DebugTexts();
std::span<const StringEntry> ReportTexts();

// The text of a string id, or nullptr when no area defines it.
const char* FindString(std::uint32_t id);

// The text of a string id, cut to at most maxChars characters; empty when the id is unknown.
std::string LoadString(std::uint32_t id, std::size_t maxChars = 1023);

// Ids that more than one area defines (a build fault; the tests check that this is empty).
std::span<const std::uint32_t> DuplicateStringIds();

}  // namespace heatdiag
