#include "units.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>

namespace heatsim {
namespace {

struct TablePoint {
  int celsius;
  int raw;
};

constexpr TablePoint kTemperatureTable[] = {
    {-40, 241}, {-35, 240}, {-30, 238}, {-25, 236}, {-20, 234}, {-15, 230}, {-10, 227},
    {-5, 222},  {0, 217},   {5, 211},   {10, 204},  {15, 196},  {20, 187},  {25, 177},
    {30, 167},  {35, 156},  {40, 145},  {45, 134},  {50, 123},  {55, 112},  {60, 102},
    {65, 92},   {70, 83},   {75, 75},   {80, 67},   {85, 60},   {90, 53},   {95, 47},
    {100, 42},  {105, 38},  {110, 34},  {115, 30},  {120, 27},  {125, 24},
};

}  // namespace

std::uint8_t OldTemperatureByte(double celsius) {
  constexpr std::size_t n = std::size(kTemperatureTable);
  if (celsius <= kTemperatureTable[0].celsius)
    return static_cast<std::uint8_t>(kTemperatureTable[0].raw);
  if (celsius >= kTemperatureTable[n - 1].celsius) {
    return static_cast<std::uint8_t>(kTemperatureTable[n - 1].raw);
  }
  std::size_t i = 0;
  while (kTemperatureTable[i + 1].celsius < celsius) ++i;
  const TablePoint a = kTemperatureTable[i];
  const TablePoint b = kTemperatureTable[i + 1];
  const double raw =
      a.raw + (celsius - a.celsius) * (b.raw - a.raw) / static_cast<double>(b.celsius - a.celsius);
  return static_cast<std::uint8_t>(std::lround(raw));
}

std::uint8_t OldVoltageByte(int millivolts) {
  const long raw = std::lround(std::max(0, millivolts) * 100.0 / 6826.0);
  return static_cast<std::uint8_t>(std::clamp(raw, 0L, 255L));
}

int OldVoltageMv(std::uint8_t raw) {
  return static_cast<int>(std::lround(raw * 6826.0 / 100.0));
}

std::uint8_t OldResistanceByte(int milliohms) {
  const double v = std::max(0, milliohms);
  const long raw = std::lround(v * 204800.0 / (1000.0 * v + 1000000.0));
  return static_cast<std::uint8_t>(std::clamp(raw, 0L, 203L));
}

int OldResistanceMohm(std::uint8_t raw) {
  if (raw == 0 || raw >= 204) return 0;
  return static_cast<int>(std::lround(raw * 1000000.0 / (204800.0 - 1000.0 * raw)));
}

}  // namespace heatsim
