#include "base/string_table.h"

namespace heatdiag {
namespace {

constexpr StringEntry kTexts[] = {
    {0, ""},  // the table starts at index 1
    {36000, "Debug mode cannot be started!"},
    // Special jumps of "last Jump".
    {36001, "Restart"},
    {36002, "t"},
    {36003, "Diagnostic message"},
    {36004, "Special function"},
    // Dialog 156 "Debug".
    {36010, "Debug"},
    {36011, "Header"},
    {36012, "..."},
    {36013, "State"},
    {36014, "last"},
    {36015, "current"},
    {36016, "new"},
    {36017, "Se&t"},
    {36018, "last Jump"},
    {36019, "Run time [1/10 s]"},
    {36020, "Set"},
    {36021, "Act"},
    {36022, "&Run"},
    {36023, "&Step"},
    {36024, "Step &Now"},
    {36025, "Sto&p"},
    {36026, "&Exit"},
    // The header file dialog.
    {36030, "Header file"},
    {36031, "Header file (*.h)"},
    {36032, "*.h"},
};

}  // namespace

std::span<const StringEntry> DebugTexts() {
  return std::span(kTexts).subspan(1);
}

}  // namespace heatdiag
