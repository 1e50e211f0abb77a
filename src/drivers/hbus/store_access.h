// The H-Bus driver's writes into the diagnosis store, by row of its catalogue.
#pragma once

#include <cstdint>
#include <string_view>

namespace heatdiag::hbus {

using Row = std::uint16_t;

void StoreUnsigned(Row row, std::uint32_t value);
void StoreSigned(Row row, std::int32_t value);
void StoreReal(Row row, double value);
void StoreText(Row row, std::string_view text);

bool IsPresent(Row row);
void SetPresent(Row row, bool present);
// Sets the present flag of rows first..last (inclusive).
void SetPresentRange(Row first, Row last, bool present);
void Hide(Row row);
// Whether views show the row's value (it stays listed while present).
void SetShown(Row row, bool shown);

// The value of an integer row read as an unsigned number (0 when it cannot be read).
std::uint32_t ReadUnsigned(Row row);

}  // namespace heatdiag::hbus
