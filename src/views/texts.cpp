#include "base/string_table.h"

namespace heatdiag {
namespace {

constexpr StringEntry kTexts[] = {
    {0, ""},  // the table starts at index 1
    {20000, "Parameter"},
    {20001, "Value"},
    {20002, "Unit"},
    {23008, "no data available"},

    // Protocol and measurement log.
    {23007, "Protocol file"},
    {33400, "%s -> %s (%ds)"},
    {33401, "Protocol file"},
    {33402, "File name:"},
    {33403, "Search..."},
    {33404, "Write interval [sec]:"},
    {33405, "Save protocol as..."},
    {33406, "Show time stamps"},
    {33407, "&Copy\tCtrl+C"},
    {33408, "Select &all\tCtrl+A"},
    {33409, "Protocol files (*.log *.LOG *.txt);;All files (*)"},
    {33410, "Save protocol"},
    {33411, "Cannot create file %s!"},
    // Actual values graph
    {33300, "Export as CSV (whole hour)..."},
    {33301, "Export as CSV (visible range)..."},
    {33302, "Export as picture..."},
    {33303, "CSV files (*.csv)"},
    {33304, "PNG pictures (*.png)"},
    {33305, "Export graph"},
    {33306, "Cannot write file %s!"},
    {33307, "The graph holds no samples yet."},
};

}  // namespace

std::span<const StringEntry> ViewTexts() {
  return std::span(kTexts).subspan(1);
}

}  // namespace heatdiag
