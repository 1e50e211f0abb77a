// Pieces the telegram handlers share: answer checks with their messages, and the writes of
// values that a control unit marks as "not available".
#pragma once

#include <cstdint>
#include <string>

#include "drivers/hbus/capabilities.h"
#include "drivers/hbus/reply_view.h"
#include "drivers/hbus/store_access.h"
#include "link/poll_client.h"

namespace heatdiag::hbus {

inline constexpr std::uint8_t kVersion30 = 0x30;
inline constexpr std::uint8_t kVersion31 = 0x31;
inline constexpr std::uint8_t kVersion32 = 0x32;

// Shows the NAK's message when the reply is one; true then.
bool ShowNakIfAny(const ReplyView& reply);
// The generic answer check: a positive answer to `command` or a NAK (its message shown) is
// kDone; anything else shows "Invalid response from control unit!" and is kLinkFault.
EntryResult CheckAck(const ReplyView& reply, std::uint8_t command);
// True for a positive answer to `command`.
inline bool IsPositive(const ReplyView& reply, std::uint8_t command) {
  return reply.Answers(command);
}
// Shows the message and returns kLinkFault.
EntryResult InvalidLength();
EntryResult InvalidResponse();
// The command check every handler starts with: kDone when the reply answers `command`;
// otherwise a NAK's message or "Invalid response from control unit!", then kLinkFault.
bool RejectUnlessPositive(const ReplyView& reply, std::uint8_t command, EntryResult& result);

// "%d:%02d"
std::string HourMinuteText(unsigned hours, unsigned minutes);
// An hour:minute pair; 0xFFFF:0xFF hides the row. Only while the row is present.
void StoreHourMinute(Row row, std::uint16_t hours, std::uint8_t minutes);
// A 16-bit counter; 0xFFFF hides the row. Only while the row is present.
void StoreCounter16(Row row, std::uint16_t value);

// "%02X" per byte.
std::string HexText(const ReplyView& reply, std::size_t first, std::size_t count);

// A value in milli-units (mV, mOhm) as the real value of its row.
inline double Milli(std::uint32_t value) {
  return value * 0.001;
}
// Temperature byte of a 3.x unit.
inline int Celsius50(std::uint8_t raw) {
  return static_cast<int>(raw) - 50;
}

}  // namespace heatdiag::hbus
