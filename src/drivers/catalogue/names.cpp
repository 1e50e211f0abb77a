#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"

namespace heatdiag {

std::string NameText(std::uint32_t nameId, NameForm form) {
  const char* text = FindString(nameId);
  if (text == nullptr) return {};
  const std::string_view name(text);
  const auto newline = name.find('\n');
  if (newline == std::string_view::npos) return std::string(name);
  return std::string(form == NameForm::kLong ? name.substr(0, newline) : name.substr(newline + 1));
}

std::string ParameterName(ParameterCatalogue catalogue, std::size_t index, NameForm form) {
  if (index >= catalogue.size()) return {};
  return NameText(catalogue[index].nameId, form);
}

std::string UnitText(std::uint32_t unitId) {
  if (unitId == kUnitNone) return {};
  return LoadString(unitId);
}

std::string ParameterUnit(ParameterCatalogue catalogue, std::size_t index) {
  if (index >= catalogue.size()) return {};
  return UnitText(catalogue[index].unitId);
}

FaultBlockLayout FaultBlocksOf(ParameterCatalogue catalogue) {
  FaultBlockLayout layout;
  layout.countRow = FaultBlockLayout::npos;
  for (std::size_t row = 0; row < catalogue.size(); ++row) {
    const std::uint32_t mask = catalogue[row].viewMask;
    if (layout.countRow == FaultBlockLayout::npos && (mask & kViewFaultCount) != 0) {
      layout.countRow = row;
    }
    if ((mask & kViewFaultHeading) == 0) continue;
    if (layout.blocks == 0) {
      layout.firstRow = row;
    } else if (layout.blocks == 1) {
      layout.rowsPerBlock = row - layout.firstRow;
    }
    ++layout.blocks;
  }
  if (layout.blocks == 1) {
    // A single block ends at the last row that carries a fault-list bit.
    std::size_t end = layout.firstRow + 1;
    while (end < catalogue.size() && (catalogue[end].viewMask & kViewFaultList) != 0 &&
           (catalogue[end].viewMask & kViewFaultHeading) == 0) {
      ++end;
    }
    layout.rowsPerBlock = end - layout.firstRow;
  }
  return layout;
}

}  // namespace heatdiag
