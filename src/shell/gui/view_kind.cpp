#include "shell/gui/view_kind.h"

#include "shell/gui/commands.h"

namespace heatdiag {
namespace {

constexpr std::array<ViewInfo, kViewCount> kViews = {{
    {ViewKind::kOverview, 20101, "HeatdiagOverviewClass", kCmdOverview, 0x5F000,
     &Settings::overviewPos, &Settings::overviewOpen},
    {ViewKind::kParameterList, 20102, "HeatdiagParListClass", kCmdParameterList, 0x5F004,
     &Settings::parViewPos, &Settings::parViewOpen},
    {ViewKind::kDeviceInfo, 20103, "HeatdiagInfoViewClass", kCmdDeviceInfo, 0x5F002,
     &Settings::infoViewPos, &Settings::infoViewOpen},
    {ViewKind::kOperatingData, 20104, "HeatdiagWorkViewClass", kCmdOperatingData, 0x5F001,
     &Settings::workViewPos, &Settings::workViewOpen},
    {ViewKind::kFaultList, 20105, "HeatdiagErrorViewClass", kCmdViewFaults, 0x5F006,
     &Settings::errorViewPos, &Settings::errorViewOpen},
    {ViewKind::kGraph, 20106, "HeatdiagTrendViewClass", kCmdGraph, 0x5F003, &Settings::trendViewPos,
     &Settings::trendViewOpen},
    {ViewKind::kProtocol, 20107, "HeatdiagProtViewClass", kCmdProtocol, 0x5F005,
     &Settings::protViewPos, &Settings::protViewOpen},
}};

}  // namespace

const ViewInfo& InfoOf(ViewKind kind) {
  return kViews[static_cast<std::size_t>(IndexOf(kind))];
}

}  // namespace heatdiag
