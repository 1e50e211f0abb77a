// The H-Bus poll table: what the link worker sends, when, and who decodes the answer.
#include <initializer_list>

#include "drivers/hbus/handlers.h"
#include "drivers/hbus/hbus_driver.h"
#include "drivers/hbus/link_client.h"

namespace heatdiag::hbus {
namespace {

using Builder = std::size_t (*)(Driver&, std::span<std::uint8_t>, std::size_t);
using Handler = EntryResult (*)(Driver&, const ReplyView&);

struct Versions {
  std::uint8_t min;
  std::uint8_t max;
};
constexpr Versions kAll{0x00, 0x99};
constexpr Versions k1to3{0x10, 0x39};
constexpr Versions k3up{0x30, 0x99};
constexpr Versions k3{0x30, 0x39};
constexpr Versions k1{0x10, 0x19};
constexpr Versions k31{0x31, 0x39};
constexpr Versions k32{0x32, 0x39};

constexpr PollEntry Entry(std::initializer_list<std::uint8_t> payload, std::uint32_t schedule,
                          std::uint32_t requestBit, Versions versions, Builder builder,
                          Handler handler) {
  PollEntry entry{};
  for (std::uint8_t byte : payload) entry.payload[entry.payloadLength++] = byte;
  entry.schedule = schedule;
  entry.requestBit = requestBit;
  entry.builder = builder;
  entry.handler = handler;
  entry.minVersion = versions.min;
  entry.maxVersion = versions.max;
  return entry;
}

constexpr Builder kSent = nullptr;  // the payload goes out as it stands

constexpr PollEntry kPollTable[] = {
    // Connection and identification.
    /* 0 */ Entry({0x51, 0x0A}, kAtConnection, 0, kAll, kSent, HandleVersion),
    /* 1 */ Entry({0x51, 0x0B}, kAtConnection, 0, k1to3, kSent, HandleDeviceName),
    /* 2 */ Entry({0x51, 0x0C}, kAtConnection, 0, k3up, kSent, HandleCode),
    // Operating modes.
    /* 3 */ Entry({0x10}, kOnRequest, bit::kHeaterOff, k1to3, kSent, HandleHeaterOff),
    /* 4 */ Entry({0x20, 0x00}, kOnRequest, bit::kHeatingOn, k1to3, BuildModeOn, HandleModeOn),
    /* 5 */
    Entry({0x21, 0x00}, kOnRequest, bit::kParkingHeating, k1to3, BuildModeOn, HandleModeOn),
    /* 6 */ Entry({0x22, 0x00}, kOnRequest, bit::kVentilating, k1to3, BuildModeOn, HandleModeOn),
    /* 7 */
    Entry({0x23, 0x00}, kOnRequest, bit::kSupplementalHeating, k3, BuildModeOn, HandleModeOn),
    /* 8 */
    Entry({0x24, 0x00}, kOnRequest, bit::kPumpExternalControl, k3, BuildModeOn, HandleModeOn),
    /* 9 */ Entry({0x25}, kOnRequest, bit::kBoost, k3, kSent, HandleAck),
    /* 10 */ Entry({0x26}, kOnRequest, bit::kCommand26, k3, kSent, HandleAck),
    /* 11 */
    Entry({0x27, 0x00, 0x00}, kOnRequest, bit::kCommand27, k3, BuildMode27, HandleModeOn),
    /* 12 */
    Entry({0x30, 0x00, 0x00}, kOnRequest, bit::kCommand30, k1to3, BuildAsIs, HandleReply30),
    /* 13 */
    Entry({0x31, 0x00, 0x00, 0x00}, kOnRequest, bit::kCommand31, k1to3, BuildAsIs, HandleAnyReply),
    // EEPROM cells and block mode.
    /* 14 */
    Entry({0x32, 0x00, 0x00}, kOnRequest, bit::kReadCell, k1to3, BuildReadCell, HandleReadCell),
    /* 15 */
    Entry({0x33, 0x00, 0x00, 0x00}, kOnRequest, bit::kWriteCell, k1to3, BuildWriteCell,
          HandleWriteCell),
    /* 16 */
    Entry({0x34, 0x40, 0x00}, kOnRequest, bit::kBlockRead, k3, BuildBlockRead, HandleBlockRead),
    /* 17 */
    Entry({0x34, 0x40, 0x00}, kOnRequest, bit::kBlockWrite, k3, BuildBlockWrite, HandleBlockWrite),
    /* 18 */
    Entry({0x34, 0x96, 0x00}, kOnRequest, bit::kBlockRead, k1, BuildBlockRead, HandleBlockRead),
    /* 19 */
    Entry({0x34, 0x96, 0x00}, kOnRequest, bit::kBlockWrite, k1, BuildBlockWrite, HandleBlockWrite),
    /* 20 */
    Entry({0x37, 0x00, 0x00}, kOnRequest, bit::kCommand37, k1to3, BuildAsIs, HandleAnyReply),
    /* 21 */ Entry({0x38}, kAtConnection, 0, k3, kSent, HandleLayout),
    // Calibrations, fuel prime, keep-alive, component test.
    /* 22 */
    Entry({0x42, 0x01, 0x00, 0x00, 0x00}, kOnRequest, bit::kVoltageCalibration, k1to3,
          BuildVoltageCalibration, HandleAck),
    /* 23 */
    Entry({0x42, 0x02, 0x00, 0x00, 0x00}, kOnRequest, bit::kResistanceCalibration, k1to3,
          BuildResistanceCalibration, HandleAck),
    /* 24 */
    Entry({0x42, 0x03, 0x00, 0x00}, kOnRequest, bit::kFuelPrime, k1to3, BuildFuelPrime, HandleAck),
    /* 25 */ Entry({0x43, 0x00}, kOnRequest, bit::kCommand43, k1to3, BuildAsIs, HandleCommand43),
    /* 26 */
    Entry({0x44, 0x00, 0x00}, kOnRequest, bit::kKeepAlive, k1to3, BuildKeepAlive, HandleKeepAlive),
    /* 27 */
    Entry({0x45, 0x00, 0x00, 0x00, 0x00}, kOnRequest, bit::kComponentTest, k3, BuildComponentTest,
          HandleAck),
    // Operating data.
    /* 28 */
    Entry({0x50, 0x01, 0x00}, kEverySecond, bit::kFaultList, k1, BuildFaultSlot, HandleFaultSlot),
    /* 29 */ Entry({0x50, 0x02}, kContinuous, 0, k1to3, kSent, HandleInputs),
    /* 30 */ Entry({0x50, 0x03}, kContinuous, 0, k1to3, kSent, HandleComponentStates),
    /* 31 */ Entry({0x50, 0x04}, kAtConnection, 0, k3, kSent, HandleConfiguration),
    /* 32 */ Entry({0x50, 0x04}, kContinuous, 0, k1, kSent, HandleConfigurationOld),
    /* 33 */ Entry({0x50, 0x05}, kContinuous, 0, k1to3, kSent, HandleMeasuredValues),
    /* 34 */ Entry({0x50, 0x06}, kEverySecond, 0, k1to3, kSent, HandleCounters),
    /* 35 */ Entry({0x50, 0x07}, kContinuous, 0, k1to3, kSent, HandleOperatingState),
    /* 36 */ Entry({0x50, 0x0A}, kEverySecond, 0, k3, kSent, HandleBurningDurations),
    /* 37 */ Entry({0x50, 0x0B}, kEverySecond, 0, k3, kSent, HandleWorkingDurations),
    /* 38 */ Entry({0x50, 0x0C}, kEverySecond, 0, k3, kSent, HandleStartCounters),
    /* 39 */ Entry({0x50, 0x0F}, kContinuous, 0, k3, kSent, HandleActuatorLevels),
    /* 40 */ Entry({0x50, 0x11}, kAtConnection, 0, k32, kSent, HandleTemperatureThresholds),
    /* 41 */ Entry({0x51, 0x01}, kAtConnection, 0, k1to3, kSent, HandleDeviceId),
    /* 42 */ Entry({0x51, 0x02}, kAtConnection, 0, k1to3, kSent, HandleVersions),
    /* 43 */ Entry({0x51, 0x03}, kAtConnection, 0, k1to3, kSent, HandleDatasetId),
    /* 44 */ Entry({0x51, 0x04}, kAtConnection, 0, k1to3, kSent, HandleDateControlUnit),
    /* 45 */ Entry({0x51, 0x05}, kAtConnection, 0, k1to3, kSent, HandleDateHeater),
    /* 46 */ Entry({0x51, 0x06}, kAtConnection, 0, k1to3, kSent, HandleFarstartCode),
    /* 47 */ Entry({0x51, 0x07}, kAtConnection, 0, k1to3, kSent, HandleCustomerId),
    /* 48 */ Entry({0x51, 0x09}, kAtConnection, 0, k1to3, kSent, HandleSerialNumber),
    // Faults and CO2.
    /* 49 */ Entry({0x52}, kOnRequest, bit::kClearFaults, k1, kSent, HandleClearFaultsOld),
    /* 50 */ Entry({0x53, 0x02}, kAtConnection, 0, k3, kSent, HandleVoltageThresholds),
    /* 51 */
    Entry({0x53, 0x05, 0x00}, kOnRequest, bit::kCo2WriteCold, k1, BuildCo2Write, HandleCo2WriteOld),
    /* 52 */
    Entry({0x53, 0x04, 0x00}, kOnRequest, bit::kCo2Write, k1, BuildCo2Write, HandleCo2WriteOld),
    /* 53 */ Entry({0x56, 0x01}, kEverySecond, bit::kFaultList, k3, kSent, HandleFaultList),
    /* 54 */
    Entry({0x56, 0x02, 0x00}, kOnRequest, bit::kFaultDetails, k3, BuildFaultDetails,
          HandleFaultDetails),
    /* 55 */ Entry({0x56, 0x03}, kOnRequest, bit::kClearFaults, k3, kSent, HandleClearFaults),
    /* 56 */
    Entry({0x57, 0x01}, kAtConnection, bit::kCo2Values, k3, BuildCo2Values, HandleCo2Values),
    /* 57 */
    Entry({0x57, 0x02, 0x00}, kOnRequest, bit::kCo2WriteCold, k3, BuildCo2Write, HandleCo2Write),
    /* 58 */
    Entry({0x57, 0x03, 0x00}, kOnRequest, bit::kCo2Write, k3, BuildCo2Write, HandleCo2Write),
    // Debug mode, old component test, extended values.
    /* 59 */ Entry({0x60, 0x00, 0x00}, kContinuous, 0, k3, BuildDebug, HandleDebug),
    /* 60 */
    Entry({0x60, 0x00}, kOnRequest, bit::kComponentTest, k1, BuildComponentTestOld, HandleAck),
    /* 61 */
    Entry({0x60, 0x98}, kContinuous, 0, k31, BuildGlowPlugResistance, HandleGlowPlugResistance),
    /* 62 */
    Entry({0x60, 0x99}, kContinuous, 0, k31, BuildExtendedTemperatures, HandleExtendedTemperatures),
};

static_assert(std::size(kPollTable) == 63);

}  // namespace

std::span<const PollEntry> PollTable() {
  return kPollTable;
}

}  // namespace heatdiag::hbus
