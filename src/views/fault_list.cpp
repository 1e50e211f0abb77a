#include "views/fault_list.h"

#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/diag_store.h"
#include "views/fault_texts.h"

namespace heatdiag {
namespace {

constexpr std::size_t kValueChars = 63;
constexpr std::size_t kUnitChars = 63;

std::optional<std::int32_t> ReadInteger(std::uint32_t item) {
  std::int32_t value = 0;
  if (StoreRead(item, kStoreS32, sizeof value, &value) == 0) return std::nullopt;
  return value;
}

bool Delivered(std::uint32_t item) {
  return StoreGetPresent(item) != 0 && StoreGetShown(item) != 0;
}

std::string RowName(std::uint32_t item, bool detail) {
  std::string name = StoreGetName(item, NameForm::kLong);
  if (!detail) return name.substr(0, kFaultNameMaxChars);
  const std::size_t indent = std::char_traits<char>::length(kFaultDetailIndent);
  return kFaultDetailIndent + name.substr(0, kFaultNameMaxChars - indent);
}

}  // namespace

std::optional<std::string> FaultValueText(std::uint32_t item) {
  // A value the control unit has not delivered is left empty, never shown as fault code 0.
  if (!Delivered(item)) return std::string();
  if (StoreRowInGroup(item, kFaultCodeCategory) != 0) {
    const auto code = ReadInteger(item);
    if (!code) return std::nullopt;
    return FaultShortText(*code);
  }
  if (StoreRowInGroup(item, kFaultStateCategory) != 0) {
    const auto state = ReadInteger(item);
    if (!state) return std::nullopt;
    return FaultStateText(*state);
  }
  char text[kValueChars + 1] = {};
  if (StoreRead(item, kStoreText, sizeof text, text) == 0) return std::nullopt;
  return std::string(text);
}

FaultListRows BuildFaultList() {
  FaultListRows list;
  list.itemCount = StoreRowCount();
  list.rowFault.fill(list.itemCount);
  std::uint32_t current = list.itemCount;
  for (std::uint32_t item = 0; item < list.itemCount; ++item) {
    if (StoreGetPresent(item) == 0 || StoreRowInGroup(item, kFaultListMask) == 0) continue;
    // The table has room for 256 rows; what would follow is not shown.
    if (list.rows.size() >= kFaultListMaxRows) break;
    const bool code = StoreRowInGroup(item, kFaultCodeCategory) != 0;
    if (code) current = item;
    list.rowFault[list.rows.size()] = current;
    FaultListRow row;
    row.item = item;
    row.name = RowName(item, !code);
    row.value = FaultValueText(item).value_or(std::string());
    row.unit = StoreGetUnit(item).substr(0, kUnitChars);
    list.rows.push_back(std::move(row));
  }
  if (list.rows.empty() && StoreIsDataValid()) {
    FaultListRow row;
    row.name = LoadString(kTextNoFaultRow, kFaultNameMaxChars);
    list.rows.push_back(std::move(row));
    list.noFault = true;
  }
  return list;
}

std::optional<std::string> FaultDescriptionOfRow(const FaultListRows& list, std::size_t row) {
  // An empty list and the "no fault" row both stand for an empty fault memory.
  if (list.rows.empty() || list.noFault) return FaultDescription(0);
  if (row >= kFaultListMaxRows || row >= list.rows.size()) return std::nullopt;
  const std::uint32_t item = list.rowFault[row];
  if (item >= list.itemCount || item >= StoreRowCount()) return std::nullopt;
  const auto code = ReadInteger(item);
  if (!code) return std::nullopt;
  return FaultDescription(*code);
}

std::vector<FaultRecord> CollectFaults() {
  std::vector<FaultRecord> faults;
  const std::uint32_t count = StoreRowCount();
  for (std::uint32_t item = 0; item < count; ++item) {
    if (StoreGetPresent(item) == 0 || StoreRowInGroup(item, kFaultListMask) == 0) continue;
    if (StoreRowInGroup(item, kFaultCodeCategory) != 0) {
      FaultRecord record;
      record.item = item;
      record.code = ReadInteger(item).value_or(0);
      faults.push_back(std::move(record));
      continue;
    }
    if (faults.empty()) continue;  // details before the first fault belong to none
    FaultRecord& fault = faults.back();
    if (StoreRowInGroup(item, kFaultStateCategory) != 0 && !fault.state) {
      if (Delivered(item)) fault.state = ReadInteger(item);
      continue;
    }
    fault.details.push_back({StoreGetName(item, NameForm::kLong),
                             FaultValueText(item).value_or(std::string()), StoreGetUnit(item)});
  }
  return faults;
}

}  // namespace heatdiag
