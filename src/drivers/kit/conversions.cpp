#include "drivers/kit/conversions.h"

#include <array>

namespace heatdiag::kit {
namespace {

struct TemperaturePoint {
  int celsius;
  int raw;
};

// The sensor characteristic in 5 degree steps.
constexpr std::array<TemperaturePoint, 34> kTemperatureCurve = {{
    {-40, 241}, {-35, 240}, {-30, 238}, {-25, 236}, {-20, 234}, {-15, 230}, {-10, 227},
    {-5, 222},  {0, 217},   {5, 211},   {10, 204},  {15, 196},  {20, 187},  {25, 177},
    {30, 167},  {35, 156},  {40, 145},  {45, 134},  {50, 123},  {55, 112},  {60, 102},
    {65, 92},   {70, 83},   {75, 75},   {80, 67},   {85, 60},   {90, 53},   {95, 47},
    {100, 42},  {105, 38},  {110, 34},  {115, 30},  {120, 27},  {125, 24},
}};

// a * b / c rounded half up, for non-negative operands.
std::uint64_t MulDivRounded(std::uint64_t a, std::uint64_t b, std::uint64_t c) {
  return (a * b + c / 2) / c;
}

}  // namespace

std::uint32_t OldVoltageToMilliVolt(std::uint8_t raw) {
  return static_cast<std::uint32_t>(MulDivRounded(raw, 6826, 100));
}

std::uint32_t OldResistanceToMilliOhm(std::uint8_t raw) {
  if (raw == 0 || raw >= 204) return 0;
  return static_cast<std::uint32_t>(MulDivRounded(raw, 1000000, 204800 - 1000u * raw));
}

int OldTemperatureToCelsius(std::uint8_t raw) {
  if (raw >= kTemperatureCurve.front().raw) return kTemperatureCurve.front().celsius;
  if (raw <= kTemperatureCurve.back().raw) return kTemperatureCurve.back().celsius;
  for (std::size_t i = 0; i + 1 < kTemperatureCurve.size(); ++i) {
    const TemperaturePoint& cold = kTemperatureCurve[i];
    const TemperaturePoint& hot = kTemperatureCurve[i + 1];
    if (raw == cold.raw) return cold.celsius;
    if (raw > hot.raw) {
      const double t = cold.celsius + static_cast<double>(cold.raw - raw) *
                                          (hot.celsius - cold.celsius) / (cold.raw - hot.raw);
      return static_cast<int>(t + 0.5);
    }
  }
  return kTemperatureCurve.back().celsius;
}

}  // namespace heatdiag::kit
