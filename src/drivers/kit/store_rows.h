// A driver's writes into the diagnosis store by catalogue row, and the few reads the drivers
// need, in the forms the handlers use.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace heatdiag::kit {

using Row = std::uint16_t;

// An inclusive range of catalogue rows.
struct RowRange {
  Row first;
  Row last;
};

void StoreUnsigned(Row row, std::uint32_t value);
void StoreSigned(Row row, std::int32_t value);
void StoreReal(Row row, double value);
void StoreText(Row row, std::string_view text);
// "on" rows take 0 or 1.
inline void StoreFlag(Row row, bool on) {
  StoreUnsigned(row, on ? 1u : 0u);
}

bool IsPresent(Row row);
void SetPresent(Row row, bool present);
void SetPresent(RowRange rows, bool present);
inline void Hide(Row row) {
  SetPresent(row, false);
}
inline void Hide(RowRange rows) {
  SetPresent(rows, false);
}
// Every row of the session present and shown (a session starts).
void ShowAllRows(std::uint32_t rowCount);

// The value of an integer row as an unsigned number (0 when it cannot be read).
std::uint32_t ReadUnsigned(Row row);

}  // namespace heatdiag::kit
