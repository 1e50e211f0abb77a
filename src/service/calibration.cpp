#include "service/calibration.h"

#include <cstdio>
#include <cstdlib>

#include "base/settings.h"
#include "drivers/device_table.h"
#include "service/decimal_entry.h"
#include "service/service_texts.h"

namespace heatdiag::service {

CalibrationRange RangeOf(Calibration calibration) {
  if (calibration == Calibration::kVoltage) return {10000, 30000, kTextVoltageRange};
  return {200, 5000, kTextGlowPlugRange};
}

std::optional<std::uint16_t> ParseCalibrationEntry(Calibration calibration, std::string_view text) {
  const std::optional<std::uint64_t> milli =
      ParseFixedPoint(text.substr(0, kCalibrationEntryChars), 3);
  const CalibrationRange range = RangeOf(calibration);
  if (!milli || *milli < range.lowest || *milli > range.highest) return std::nullopt;
  return static_cast<std::uint16_t>(*milli);
}

std::string FormatMilli(std::int32_t milli) {
  const long long value = milli;
  const long long magnitude = std::llabs(value);
  char text[32];
  std::snprintf(text, sizeof text, "%s%lld.%03lld", value < 0 ? "-" : "", magnitude / 1000,
                magnitude % 1000);
  return text;
}

std::int32_t& CalibrationSetting(Calibration calibration) {
  Settings& settings = ProgramSettings();
  return calibration == Calibration::kVoltage ? settings.adjVoltage : settings.adjGlowPlug;
}

bool SendCalibration(Calibration calibration, std::uint16_t milli) {
  const DeviceDriver* driver = SelectedDriver();
  if (driver == nullptr || driver->IsSessionActive() == 0) return false;
  CalibrationSetting(calibration) = milli;
  if (calibration == Calibration::kVoltage)
    driver->SetSupplyVoltage(milli);
  else
    driver->SetGlowPlugResistance(milli);
  return true;
}

}  // namespace heatdiag::service
