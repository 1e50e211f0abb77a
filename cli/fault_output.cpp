#include "cli/fault_output.h"

#include <algorithm>
#include <iomanip>

#include "views/fault_list.h"
#include "views/fault_texts.h"

namespace heatdiag::cli {

nlohmann::ordered_json FaultsJson() {
  nlohmann::ordered_json faults = nlohmann::ordered_json::array();
  for (const FaultRecord& fault : CollectFaults()) {
    nlohmann::ordered_json entry;
    entry["code"] = fault.code;
    entry["text"] = FaultShortText(fault.code);
    entry["description"] = FaultDescription(fault.code);
    if (fault.state) {
      entry["state"] = *fault.state;
      entry["stateText"] = FaultStateText(*fault.state);
    } else {
      entry["state"] = nullptr;
      entry["stateText"] = nullptr;
    }
    entry["details"] = nlohmann::ordered_json::array();
    for (const FaultDetail& detail : fault.details)
      entry["details"].push_back(
          {{"name", detail.name}, {"value", detail.value}, {"unit", detail.unit}});
    faults.push_back(std::move(entry));
  }
  return faults;
}

void PrintFaultTable(std::ostream& out) {
  const FaultListRows list = BuildFaultList();
  std::size_t nameWidth = 9;
  std::size_t valueWidth = 5;
  for (const FaultListRow& row : list.rows) {
    nameWidth = std::max(nameWidth, row.name.size());
    valueWidth = std::max(valueWidth, row.value.size());
  }
  out << std::left << std::setw(static_cast<int>(nameWidth)) << "Parameter"
      << "  " << std::left << std::setw(static_cast<int>(valueWidth)) << "Value"
      << "  Unit\n";
  for (const FaultListRow& row : list.rows) {
    out << std::left << std::setw(static_cast<int>(nameWidth)) << row.name << "  " << std::left
        << std::setw(static_cast<int>(valueWidth)) << row.value << "  " << row.unit << '\n';
  }
}

}  // namespace heatdiag::cli
