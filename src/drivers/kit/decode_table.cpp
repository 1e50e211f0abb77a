#include "drivers/kit/decode_table.h"

namespace heatdiag::kit {

void StoreField(const Field& field, std::uint32_t raw, Row rowBase) {
  const Row row = static_cast<Row>(rowBase + field.row);
  switch (field.conversion) {
    case Conversion::kUnsigned:
      StoreUnsigned(row, raw);
      return;
    case Conversion::kScaled:
      StoreReal(row, raw * field.factor);
      return;
    case Conversion::kBit:
      StoreFlag(row, (raw & field.mask) != 0);
      return;
    case Conversion::kPercentOf255:
      StoreUnsigned(row, raw * 100u / 255u);
      return;
    case Conversion::kPerRaw:
      StoreReal(row, raw == 0 ? 0.0 : field.factor / raw);
      return;
    case Conversion::kOldTemperature:
      StoreSigned(row, OldTemperatureToCelsius(static_cast<std::uint8_t>(raw)));
      return;
    case Conversion::kOldVoltage:
      StoreReal(row, OldVoltageToMilliVolt(static_cast<std::uint8_t>(raw)) * 0.001);
      return;
    case Conversion::kOldResistance:
      StoreReal(row, OldResistanceToMilliOhm(static_cast<std::uint8_t>(raw)) * 0.001);
      return;
    case Conversion::kCelsius50:
      StoreSigned(row, static_cast<std::int32_t>(raw) - 50);
      return;
  }
}

}  // namespace heatdiag::kit
