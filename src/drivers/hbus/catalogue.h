// The H-Bus driver's parameter catalogue and its two operating-state tables.
#pragma once

#include <cstddef>
#include <cstdint>

#include "drivers/catalogue/parameter.h"

namespace heatdiag {

inline constexpr std::size_t kHBusCatalogueRows = 157;

// Fault blocks: 8 blocks of 8 rows from row 76 (heading, state, code text, counter,
// temperature, operating state, voltage, operating hours), block k with fault slot k.
inline constexpr std::size_t kHBusFirstFaultRow = 76;
inline constexpr std::size_t kHBusFaultBlockRows = 8;
inline constexpr std::size_t kHBusFaultBlocks = 8;

ParameterCatalogue HBusCatalogue();

// The state table for the reported H-Bus version byte (high nibble major, low nibble minor):
// 3.0 and later map the codes in text order with the number from the telegram; earlier units
// carry step numbers in the table.
StateNameTable HBusStateTable(std::uint8_t version);
StateNameTable HBusStateTableV3();        // 98 records
StateNameTable HBusStateTableBeforeV3();  // 77 records

}  // namespace heatdiag
