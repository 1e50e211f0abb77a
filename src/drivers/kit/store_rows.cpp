#include "drivers/kit/store_rows.h"

#include "drivers/diag_store.h"

namespace heatdiag::kit {

void StoreUnsigned(Row row, std::uint32_t value) {
  StoreWrite(row, kStoreU32, 0, &value);
}

void StoreSigned(Row row, std::int32_t value) {
  StoreWrite(row, kStoreS32, 0, &value);
}

void StoreReal(Row row, double value) {
  StoreWrite(row, kStoreDouble, 0, &value);
}

void StoreText(Row row, std::string_view text) {
  StoreWriteText(row, text);
}

bool IsPresent(Row row) {
  return StoreGetPresent(row) != 0;
}

void SetPresent(Row row, bool present) {
  StoreSetPresent(row, present ? 1 : 0);
}

void SetPresent(RowRange rows, bool present) {
  for (std::uint32_t row = rows.first; row <= rows.last; ++row)
    StoreSetPresent(row, present ? 1 : 0);
}

void ShowAllRows(std::uint32_t rowCount) {
  for (std::uint32_t row = 0; row < rowCount; ++row) {
    StoreSetPresent(row, 1);
    StoreSetShown(row, 1);
  }
}

std::uint32_t ReadUnsigned(Row row) {
  std::uint32_t value = 0;
  StoreRead(row, kStoreU32, 0, &value);
  return value;
}

}  // namespace heatdiag::kit
