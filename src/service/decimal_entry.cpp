#include "service/decimal_entry.h"

#include <algorithm>

namespace heatdiag::service {
namespace {

constexpr unsigned kMaxDecimals = 9;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::size_t SkipBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  return i;
}

std::uint64_t Append(std::uint64_t value, char digit) {
  if (value >= kEntrySaturation / 10) return kEntrySaturation;
  return std::min(value * 10 + static_cast<std::uint64_t>(digit - '0'), kEntrySaturation);
}

std::uint64_t Scale(std::uint64_t value, unsigned places) {
  for (unsigned i = 0; i < places; ++i)
    value = value >= kEntrySaturation / 10 ? kEntrySaturation : value * 10;
  return value;
}

}  // namespace

std::optional<std::uint64_t> ParseWholeNumber(std::string_view text) {
  std::size_t i = SkipBlanks(text);
  if (i >= text.size() || !IsDigit(text[i])) return std::nullopt;
  std::uint64_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) value = Append(value, text[i]);
  return value;
}

std::optional<std::uint64_t> ParseFixedPoint(std::string_view text, unsigned decimals) {
  decimals = std::min(decimals, kMaxDecimals);
  std::size_t i = SkipBlanks(text);
  bool anyDigit = false;
  std::uint64_t whole = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    whole = Append(whole, text[i]);
    anyDigit = true;
  }
  std::uint64_t fraction = 0;
  unsigned places = 0;
  if (i < text.size() && (text[i] == ',' || text[i] == '.')) {
    for (++i; i < text.size() && IsDigit(text[i]) && places < decimals; ++i, ++places) {
      fraction = fraction * 10 + static_cast<std::uint64_t>(text[i] - '0');
      anyDigit = true;
    }
    // A digit that is not read still shows that a number was typed ("5,0001" with three).
    if (i < text.size() && IsDigit(text[i])) anyDigit = true;
  }
  if (!anyDigit) return std::nullopt;
  const std::uint64_t scaled = Scale(whole, decimals);
  return std::min(scaled + Scale(fraction, decimals - places), kEntrySaturation);
}

}  // namespace heatdiag::service
