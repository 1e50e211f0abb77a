#include "drivers/hbus/texts.h"

#include "base/string_table.h"

namespace heatdiag {
namespace {

constexpr StringEntry kTexts[] = {
    {hbus::kTextYellowLed, "yellow LED"},
    {hbus::kTextGreenLed, "green LED"},
    {hbus::kTextOperationIndicator, "Operation indicator\nOI"},
    {hbus::kTextVersionNotImplemented, "This H-Bus version is not implemented!"},
    {hbus::kTextFlashLoader, "The control unit is executing a H-Bus flash loader!"},
    {hbus::kTextDebugNotStarted, "Debug mode cannot be started!"},
    {hbus::kTextOverviewMeasured, "Measured values"},
    {hbus::kTextOverviewActuators, "Actuator levels"},
    {hbus::kTextOverviewComponents, "Components"},
    {hbus::kTextOverviewInputs, "Inputs"},
};

}  // namespace

std::span<const StringEntry> HBusTexts() {
  return kTexts;
}

}  // namespace heatdiag
