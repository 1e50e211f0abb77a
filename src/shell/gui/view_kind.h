// The seven document windows of the frame and what identifies each.
#pragma once

#include <array>
#include <cstdint>

#include "base/settings.h"

namespace heatdiag {

enum class ViewKind : int {
  kOverview = 0,
  kParameterList,
  kDeviceInfo,
  kOperatingData,
  kFaultList,
  kGraph,
  kProtocol,
};
inline constexpr int kViewCount = 7;

struct ViewInfo {
  ViewKind kind;
  std::uint32_t titleId;    // window title
  const char* windowClass;  // object name of the view widget
  std::uint32_t command;    // the View menu command that toggles it
  std::uint32_t helpContext;
  PlacementBlock Settings::*placement;
  std::int32_t Settings::*open;  // reopen at start-up
};

const ViewInfo& InfoOf(ViewKind kind);
inline int IndexOf(ViewKind kind) {
  return static_cast<int>(kind);
}

// The order in which views saved as open come back at start-up.
inline constexpr std::array<ViewKind, kViewCount> kReopenOrder = {
    ViewKind::kParameterList, ViewKind::kOverview, ViewKind::kDeviceInfo, ViewKind::kOperatingData,
    ViewKind::kFaultList,     ViewKind::kGraph,    ViewKind::kProtocol};

}  // namespace heatdiag
