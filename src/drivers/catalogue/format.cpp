#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>

#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"

namespace heatdiag {
namespace {

// Values reach us as wire counts times 0.1, 0.01 or 0.001, so their decimal form is exact to
// about 15 digits. The binary product with the scale can land a hair below an exact half
// (12.345 x 100 = 1234.4999999999998); nudging by a few ulps away from zero rounds the decimal
// value the way it reads.
double RoundHalfAway(double scaled) {
  const double nudge = std::fabs(scaled) * 4 * DBL_EPSILON;
  return std::round(scaled + std::copysign(nudge, scaled));
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

}  // namespace

std::string FormatReal(double value, double resolution) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";

  int decimals = 0;
  if (resolution < 0.01) {
    decimals = 3;
  } else if (resolution < 0.1) {
    decimals = 2;
  } else if (resolution < 1) {
    decimals = 1;
  }
  static constexpr double kScale[] = {1, 10, 100, 1000};
  static constexpr long long kDivisor[] = {1, 10, 100, 1000};

  // Beyond 2^53 a double has no fraction left to show; print the whole number as it stands.
  if (std::fabs(value * kScale[decimals]) >= 9007199254740992.0) {
    char wide[400];
    std::snprintf(wide, sizeof wide, "%.0f", value);
    return wide;
  }
  const double scaled = RoundHalfAway(value * kScale[decimals]);
  char text[64];
  const long long n = static_cast<long long>(scaled);
  if (decimals == 0) {
    std::snprintf(text, sizeof text, "%lld", n);
    return text;
  }
  // The sign is written by hand: a value such as -0.5 has an integer part of 0.
  const unsigned long long magnitude =
      n < 0 ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
  const auto divisor = static_cast<unsigned long long>(kDivisor[decimals]);
  std::snprintf(text, sizeof text, "%s%llu.%0*llu", n < 0 ? "-" : "", magnitude / divisor, decimals,
                magnitude % divisor);
  std::string result(text);
  while (result.size() > 1 && result.back() == '0') result.pop_back();
  if (result.size() > 1 && result.back() == '.') result.pop_back();
  for (char& c : result) {
    if (c == '.') c = ',';
  }
  return result;
}

std::string BytesToHex(std::span<const std::uint8_t> bytes, std::size_t maxChars) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(std::min(bytes.size() * 2, maxChars));
  for (std::uint8_t b : bytes) {
    if (text.size() >= maxChars) break;
    text.push_back(kDigits[b >> 4]);
    if (text.size() >= maxChars) break;
    text.push_back(kDigits[b & 0x0F]);
  }
  return text;
}

std::size_t HexToBytes(std::string_view text, std::span<std::uint8_t> out) {
  std::size_t written = 0;
  for (std::size_t i = 0; i < text.size() && written < out.size(); i += 2) {
    const int high = HexDigitValue(text[i]);
    const int low = i + 1 < text.size() ? HexDigitValue(text[i + 1]) : 0;
    out[written++] = static_cast<std::uint8_t>(high << 4 | low);
  }
  return written;
}

std::vector<std::uint8_t> HexToBytes(std::string_view text) {
  std::vector<std::uint8_t> bytes((text.size() + 1) / 2);
  bytes.resize(HexToBytes(text, bytes));
  return bytes;
}

std::string BitsToText(std::uint32_t value, unsigned count) {
  std::string text(count, '0');
  for (unsigned i = 0; i < count && i < 32; ++i) {
    if (value & (1U << i)) text[count - 1 - i] = '1';
  }
  return text;
}

std::optional<std::int64_t> ParseFixed(std::string_view text, unsigned decimals) {
  if (decimals > 18) decimals = 18;
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;

  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::int64_t value = 0;
  bool anyDigit = false;
  bool saturated = false;
  auto push = [&](int digit) {
    if (value > (kMax - digit) / 10) {
      saturated = true;
    } else {
      value = value * 10 + digit;
    }
  };
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
    push(text[pos++] - '0');
    anyDigit = true;
  }
  unsigned fraction = 0;
  if (pos < text.size() && (text[pos] == ',' || text[pos] == '.')) {
    ++pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
      anyDigit = true;
      if (fraction < decimals) {
        push(text[pos] - '0');
        ++fraction;
      }
      ++pos;
    }
  }
  if (!anyDigit) return std::nullopt;
  for (; fraction < decimals; ++fraction) push(0);
  return saturated ? kMax : value;
}

std::string DeviceStateText(unsigned faultCount, StatusFlags flags) {
  std::string text;
  if (faultCount == 0) {
    text = LoadString(kTextNoFault);
  } else {
    text = LoadString(kTextFaultCount);
    const auto at = text.find("%d");
    if (at != std::string::npos) text.replace(at, 2, std::to_string(faultCount));
  }
  const struct {
    bool set;
    std::uint32_t nameId;
  } flagNames[] = {{flags.overheat, kTextFlagUehfl},
                   {flags.fault, kTextFlagStfl},
                   {flags.sleep, kTextFlagRzfl},
                   {flags.leanStart, kTextFlagSafl}};
  for (const auto& flag : flagNames) {
    if (flag.set) {
      text.append(", ");
      text.append(LoadString(flag.nameId));
    }
  }
  return text;
}

}  // namespace heatdiag
