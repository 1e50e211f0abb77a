// Decode tables: a handler's value decoding written as rows "reply byte(s), width, conversion,
// catalogue row, capability gate", so that "b5b6 x 0.001 into row 31" is one line of a table
// and not a hand-written store call.
//
// Decode() works on any reply view with ByteAt(i) (0 beyond the reply's end); the handler checks
// the answer and its length first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "drivers/kit/conversions.h"
#include "drivers/kit/store_rows.h"

namespace heatdiag::kit {

enum class Conversion : std::uint8_t {
  kUnsigned,        // the raw value, unsigned
  kScaled,          // the raw value x factor, real
  kBit,             // (raw & mask) != 0 as 0 / 1
  kPercentOf255,    // raw x 100 / 255, truncated
  kPerRaw,          // factor / raw, real; 0 when raw is 0 (a period byte to a frequency)
  kOldTemperature,  // the sensor characteristic, degrees Celsius
  kOldVoltage,      // the old voltage byte in volts
  kOldResistance,   // the old resistance byte in ohms
  kCelsius50,       // raw - 50, degrees Celsius
};

// A capability the unit reports: byte `byte` of the family's capability bytes has `mask` set.
// A mask of 0 means always.
struct CapabilityGate {
  std::uint8_t byte = 0;
  std::uint8_t mask = 0;
};
inline constexpr CapabilityGate kAlways{};

struct Field {
  std::uint8_t offset;  // first reply byte
  std::uint8_t width;   // 1 or 2 bytes (big-endian)
  Conversion conversion;
  Row row;
  double factor = 1.0;    // kScaled, kPerRaw
  std::uint8_t mask = 0;  // kBit
  CapabilityGate gate = kAlways;
};

// Field shorthands for the tables.
constexpr Field Byte(std::uint8_t offset, Row row, CapabilityGate gate = kAlways) {
  return {offset, 1, Conversion::kUnsigned, row, 1.0, 0, gate};
}
constexpr Field Word(std::uint8_t offset, Row row, CapabilityGate gate = kAlways) {
  return {offset, 2, Conversion::kUnsigned, row, 1.0, 0, gate};
}
constexpr Field Scaled(std::uint8_t offset, std::uint8_t width, double factor, Row row,
                       CapabilityGate gate = kAlways) {
  return {offset, width, Conversion::kScaled, row, factor, 0, gate};
}
constexpr Field Bit(std::uint8_t offset, std::uint8_t mask, Row row,
                    CapabilityGate gate = kAlways) {
  return {offset, 1, Conversion::kBit, row, 1.0, mask, gate};
}
constexpr Field Converted(std::uint8_t offset, Conversion conversion, Row row, double factor = 1.0,
                          CapabilityGate gate = kAlways) {
  return {offset, 1, conversion, row, factor, 0, gate};
}

inline bool Passes(CapabilityGate gate, std::span<const std::uint8_t> capabilities) {
  if (gate.mask == 0) return true;
  return gate.byte < capabilities.size() && (capabilities[gate.byte] & gate.mask) != 0;
}

// Writes one field's value into its row (+ rowBase).
void StoreField(const Field& field, std::uint32_t raw, Row rowBase = 0);

template <class Reply>
std::uint32_t RawValue(const Reply& reply, const Field& field) {
  std::uint32_t raw = 0;
  for (std::size_t i = 0; i < field.width; ++i) raw = (raw << 8) | reply.ByteAt(field.offset + i);
  return raw;
}

// Decodes every field whose gate passes. The rows of the fields count from rowBase (a table of
// one fault block serves every block).
template <class Reply>
void Decode(std::span<const Field> fields, const Reply& reply,
            std::span<const std::uint8_t> capabilities = {}, Row rowBase = 0) {
  for (const Field& field : fields)
    if (Passes(field.gate, capabilities)) StoreField(field, RawValue(reply, field), rowBase);
}

}  // namespace heatdiag::kit
