#include "base/string_table.h"

namespace heatdiag {
namespace {

constexpr StringEntry kTexts[] = {
    // Names of the device table's records, as the device list and the search window show them:
    // the diagnosis protocol first, then the heaters it serves.
    {9800, "H-Bus"},
    {9801, "Header link 9600 Bd - water heater"},
    {9802, "Five-baud link, address 98, 9600 Bd - water heater"},
    {9803, "Keyword link 51/F1, key C246 - water heater"},
    {9804, "Keyword link 51/F1, key E98F - water heater, vehicle maker version"},
    {9805, "Keyword link 01/F1, key D08F - water heater"},
    {9806, "Keyword link 51/F1, key C246 - water heater without main switch"},
    {9807, "Keyword link 9D/9A - air heater"},
    {9808, "Keyword link 9D/F1 - burner heater"},
    {9809, "Slow link 600 Bd - air heater, variant 1"},
    {9810, "Slow link 600 Bd - air heater, variant 2"},
    {9813, "Keyword link 9D/9A - air heater without circulating pump"},
    {9814, "Five-baud link, address 51 - heater"},
    {9815, "Slow link 1200 Bd - heater"},
    {9816, "Keyword link 9D/9A, extended - air heater"},
    {9817, "Slow link 1200 Bd - heater with flame detector states"},
    {9818, "Keyword link, vehicle addresses, variant 2 - air heater"},
    {9819, "Keyword link, vehicle addresses, variant 1 - air heater"},
    {9820, "Keyword link 51/F1, key E98F - water heater with dataset identification"},

    {21014, "Diagnosis started"},
    {21015, "Diagnosis finished"},
    {21023,
     "On some control units the automatic search starts the heater!\n"
     "Some devices of one family cannot be told apart: when the search finds a related device\n"
     "but no communication comes up, select the device by hand.\n"
     "Some control units must be switched on for the search."},
    {21057,
     "The automatic search cannot tell the two variants of this slow-link air heater apart.\n"
     "They differ only in the component test: select the device by hand when needed."},

    {31000, "Insufficient free memory!"},
    {31001, "This control unit family is not supported by this version!"},
};

}  // namespace

std::span<const StringEntry> DriverTexts() {
  return kTexts;
}

}  // namespace heatdiag
