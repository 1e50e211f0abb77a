// The operations of D00's device table record, acting on the program's H-Bus driver.
#pragma once

#include <cstdint>

#include "drivers/driver_record.h"
#include "drivers/hbus/hbus_driver.h"

namespace heatdiag::hbus {

// A slot of the record: calls the driver member `Member` of the program's driver.
template <auto Member>
struct RecordSlot;

template <typename R, typename... A, R (Driver::*Member)(A...)>
struct RecordSlot<Member> {
  static R Call(A... args) { return (TheDriver().*Member)(args...); }
};

namespace record {

// The overview elements are a constant table, not driver state.
std::uint32_t GetOverviewElements(const OverviewElement** elements);

}  // namespace record
}  // namespace heatdiag::hbus
