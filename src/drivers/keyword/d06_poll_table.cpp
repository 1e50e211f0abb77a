// D06's poll table: what the link worker sends, when, and who decodes the answer.
#include <initializer_list>

#include "drivers/keyword/d06_driver.h"
#include "drivers/keyword/d06_handlers.h"

namespace heatdiag::d06 {
namespace {

using Builder = std::size_t (*)(Driver&, std::span<std::uint8_t>, std::size_t);
using Handler = EntryResult (*)(Driver&, const ReplyView&);

constexpr PollRowD06 Entry(std::initializer_list<std::uint8_t> payload, std::uint32_t schedule,
                           std::uint32_t requestBit, Builder builder, Handler handler) {
  PollRowD06 row{};
  for (std::uint8_t byte : payload) row.payload[row.payloadLength++] = byte;
  row.schedule = schedule;
  row.requestBit = requestBit;
  row.builder = builder;
  row.handler = handler;
  return row;  // the keyword link knows no protocol versions: every row applies
}

constexpr Builder kSent = nullptr;  // the payload goes out as it stands

constexpr PollRowD06 kPollTable[] = {
    // Connection: start communication (key bytes), identification, session, access.
    /* 0 */ Entry({0x81}, kAtConnection, 0, kSent, HandleStartCommunication),
    /* 1 */ Entry({0x1A, 0x80}, kAtConnection, 0, kSent, HandleCustomerId),
    /* 2 */ Entry({0x1A, 0x92}, kAtConnection, 0, kSent, HandleDeviceId),
    /* 3 */ Entry({0x1A, 0x93}, kAtConnection, 0, kSent, HandleHwVersion),
    /* 4 */ Entry({0x1A, 0x94}, kAtConnection, 0, kSent, HandleDatasetId),
    /* 5 */ Entry({0x1A, 0x95}, kAtConnection, 0, kSent, HandleSwVersion),
    /* 6 */ Entry({0x10, 0x81}, kAtConnection, 0, kSent, HandleDiagnosticSession),
    /* 7 */ Entry({0x27, 0x05}, kAtConnection, 0, kSent, HandleSeed),
    /* 8 */ Entry({0x27, 0x06, 0x00, 0x00}, kAtConnection, 0, BuildKey, HandleKey),
    /* 9 */ Entry({0x21, 0x36}, kAtConnection, 0, kSent, HandleCo2Value),
    // Fault memory.
    /* 10 */
    Entry({0x18, 0xFA, 0x00, 0x00}, kEverySecond, bit::kFaultList, kSent, HandleFaultList),
    /* 11 */
    Entry({0x17, 0x00, 0x00}, kOnRequest, bit::kFaultStatus, BuildFaultStatus, HandleFaultStatus),
    /* 12 */ Entry({0x14, 0x00, 0x00}, kOnRequest, bit::kClearFaults, kSent, HandleClearFaults),
    // Operating data.
    /* 13 */ Entry({0x21, 0x81}, kContinuous, 0, kSent, HandleMeasuredValues),
    /* 14 */ Entry({0x21, 0x82}, kContinuous, 0, kSent, HandleActuators),
    // Service requests.
    /* 15 */
    Entry({0x30, 0x00, 0x07, 0x00}, kOnRequest, bit::kComponentTest, BuildComponentTest,
          HandleComponentTest),
    /* 16 */
    Entry({0x3B, 0x36, 0x00, 0x00}, kOnRequest, bit::kCo2Write, BuildCo2Write, HandleCo2Write),
    /* 17 */ Entry({0x31, 0x03}, kOnRequest, bit::kRoutineFirst, kSent, HandleRoutine),
    /* 18 */ Entry({0x31, 0x03}, kOnRequest, bit::kRoutineSecond, kSent, HandleRoutine),
};

static_assert(std::size(kPollTable) == 19);

}  // namespace

std::span<const PollRowD06> PollTable() {
  return kPollTable;
}

}  // namespace heatdiag::d06
