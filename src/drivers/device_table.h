// The device table: one constant record per heater family, D00 to D18 by index, and the
// selected device through which the program reaches the heater.
//
// No call goes through the table without a check of the index: use SelectedDriver() or
// DeviceRecord(), which answer nullptr for "no device".
#pragma once

#include <cstdint>
#include <span>

#include "drivers/catalogue/parameter.h"  // kDeviceCount, shared with the catalogues
#include "drivers/driver_record.h"

namespace heatdiag {

static_assert(kDeviceCount == 19);
inline constexpr std::uint32_t kNoDevice = kDeviceCount;  // any index of 19 or more means none

// Texts of the table (string ids).
inline constexpr std::uint32_t kTextFamilyNotSupported = 31001;

using DeviceTableView = std::span<const DeviceDriver, kDeviceCount>;

// The 19 records in table order.
DeviceTableView DeviceTable();

// The record of a device index, or nullptr for an index of 19 or more.
const DeviceDriver* DeviceRecord(std::uint32_t index);

// The selected device: 0..18, or kNoDevice. Any value of 19 or more selects none.
std::uint32_t SelectedDevice();
void SelectDevice(std::uint32_t index);

// The selected record, or nullptr when no device is selected.
const DeviceDriver* SelectedDriver();

// True when a device is selected and its session runs.
bool SelectedSessionActive();

// Calls InitDriver / ShutdownDriver of every record whose slot is filled, in table order.
void InitDriverRecords();
void ShutdownDriverRecords();

// Replaces the table for the lifetime of the object, so that tests of the layers above the
// drivers can run on records of their own. Not for use while driver threads run.
class ScopedDeviceTable {
 public:
  explicit ScopedDeviceTable(DeviceTableView table);
  ~ScopedDeviceTable();
  ScopedDeviceTable(const ScopedDeviceTable&) = delete;
  ScopedDeviceTable& operator=(const ScopedDeviceTable&) = delete;

 private:
  const DeviceDriver* previous_;
};

}  // namespace heatdiag
