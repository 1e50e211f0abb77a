// D00's device table record: every slot but the debug hook calls the operation of the program's
// H-Bus driver (TheDriver()) of the same name.
#pragma once

#include <cstdint>

#include "drivers/driver_record.h"
#include "drivers/hbus/hbus_driver.h"

namespace heatdiag::hbus {

namespace record {

// The overview elements are a constant table, not driver state.
std::uint32_t GetOverviewElements(const OverviewElement** elements);

}  // namespace record

constexpr DeviceDriver MakeRecord(std::uint32_t nameId, std::uint32_t deviceCode) {
  DeviceDriver r = MakeMemberRecord<&TheDriver>(nameId, deviceCode);
  r.GetOverviewElements = record::GetOverviewElements;
  r.InitDriver = MemberSlot<&TheDriver, &Driver::Init>::Call;
  r.ShutdownDriver = MemberSlot<&TheDriver, &Driver::Shutdown>::Call;
  return r;
}

}  // namespace heatdiag::hbus
