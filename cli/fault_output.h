// The fault memory as the command line prints it: one JSON object per fault, or the rows of the
// Fault list as a table.
#pragma once

#include <nlohmann/json.hpp>
#include <ostream>

namespace heatdiag::cli {

// [{"code", "text", "description", "state", "stateText", "details": [{name, value, unit}]}]
nlohmann::ordered_json FaultsJson();

// The Fault list's rows: the short text and state text of each fault, its details indented.
void PrintFaultTable(std::ostream& out);

}  // namespace heatdiag::cli
