#include "dataset/cell_fields.h"

#include <cstdio>

namespace heatdiag {
namespace {

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

std::string Binary(std::uint32_t value, int digits) {
  std::string text;
  for (int bit = digits - 1; bit >= 0; --bit) text += ((value >> bit) & 1) != 0 ? '1' : '0';
  return text;
}

}  // namespace

std::optional<std::uint32_t> ParseCellField(const std::string& text, int base) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::uint64_t value = 0;
  bool any = false;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) break;
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFu) return std::nullopt;
    any = true;
  }
  if (!any) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

std::string FormatCellAddress(std::uint32_t address, std::uint16_t start, std::uint16_t size,
                              int base) {
  if (address == 0xFFFF || address < start || address >= size) return "?";
  char text[24];
  if (base == 16) {
    std::snprintf(text, sizeof text, "%03X", static_cast<unsigned>(address));
  } else if (base == 10) {
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(address));
  } else {
    return Binary(address, 16);
  }
  return text;
}

std::string FormatCellValue(std::uint32_t value, int base) {
  if (value > 255) return "?";
  char text[8];
  if (base == 16) {
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value));
  } else if (base == 10) {
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(value));
  } else {
    return Binary(value, 8);
  }
  return text;
}

std::optional<std::int32_t> ParseBlockBaud(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  std::int64_t value = 0;
  bool any = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 1000000) return std::nullopt;
    any = true;
  }
  if (!any || value % 300 != 0 || value < 2400 || value > 38400) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace heatdiag
