// Builders and handlers of D06's poll table, by the request they serve.
//
// A builder gets a copy of the row's payload in a 256-byte work buffer and returns the number of
// bytes to send (0: nothing this time). A handler decodes the answer of a successful exchange
// into the store and the driver state and tells the link worker how to go on. Every handler
// first checks the service answer and the data length n.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "drivers/keyword/d06_driver.h"

namespace heatdiag::d06 {

using Work = std::span<std::uint8_t>;
using keyword::ReplyView;

// Connection: start communication, identification, diagnostic session, access protection.
EntryResult HandleStartCommunication(Driver& d, const ReplyView& reply);  // 81
EntryResult HandleCustomerId(Driver& d, const ReplyView& reply);          // 1A 80
EntryResult HandleDeviceId(Driver& d, const ReplyView& reply);            // 1A 92
EntryResult HandleHwVersion(Driver& d, const ReplyView& reply);           // 1A 93
EntryResult HandleDatasetId(Driver& d, const ReplyView& reply);           // 1A 94
EntryResult HandleSwVersion(Driver& d, const ReplyView& reply);           // 1A 95
EntryResult HandleDiagnosticSession(Driver& d, const ReplyView& reply);   // 10 81
EntryResult HandleSeed(Driver& d, const ReplyView& reply);                // 27 05
std::size_t BuildKey(Driver& d, Work work, std::size_t length);           // 27 06 k1 k2
EntryResult HandleKey(Driver& d, const ReplyView& reply);
EntryResult HandleCo2Value(Driver& d, const ReplyView& reply);  // 21 36

// Operating data.
EntryResult HandleMeasuredValues(Driver& d, const ReplyView& reply);  // 21 81
EntryResult HandleActuators(Driver& d, const ReplyView& reply);       // 21 82

// Fault memory.
EntryResult HandleFaultList(Driver& d, const ReplyView& reply);          // 18 FA 00 00
std::size_t BuildFaultStatus(Driver& d, Work work, std::size_t length);  // 17 hh ll
EntryResult HandleFaultStatus(Driver& d, const ReplyView& reply);
EntryResult HandleClearFaults(Driver& d, const ReplyView& reply);  // 14 00 00

// Service requests.
std::size_t BuildComponentTest(Driver& d, Work work, std::size_t length);  // 30 cc 07 ss
EntryResult HandleComponentTest(Driver& d, const ReplyView& reply);
std::size_t BuildCo2Write(Driver& d, Work work, std::size_t length);  // 3B 36 vv 00
EntryResult HandleCo2Write(Driver& d, const ReplyView& reply);
EntryResult HandleRoutine(Driver& d, const ReplyView& reply);  // 31 03

}  // namespace heatdiag::d06
