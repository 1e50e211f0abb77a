#include "drivers/hbus/decode.h"

#include <cstdio>

#include "base/frame_sink.h"
#include "link/hbus_frame.h"
#include "link/link_texts.h"

namespace heatdiag::hbus {

bool ShowNakIfAny(const ReplyView& reply) {
  if (!reply.IsNak()) return false;
  const std::uint8_t code = reply.ByteAt(3);
  const std::uint32_t textId = NakTextId(code);
  if (textId == kTextNakUnknown) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", code);
    ShowThreadError(textId, std::string_view(hex));
  } else {
    ShowThreadError(textId);
  }
  return true;
}

EntryResult CheckAck(const ReplyView& reply, std::uint8_t command) {
  if (ShowNakIfAny(reply) || reply.Answers(command)) return EntryResult::kDone;
  return InvalidResponse();
}

EntryResult InvalidLength() {
  ShowThreadError(kTextInvalidLength);
  return EntryResult::kLinkFault;
}

EntryResult InvalidResponse() {
  ShowThreadError(kTextInvalidResponse);
  return EntryResult::kLinkFault;
}

bool RejectUnlessPositive(const ReplyView& reply, std::uint8_t command, EntryResult& result) {
  if (reply.Answers(command)) return false;
  if (!ShowNakIfAny(reply)) ShowThreadError(kTextInvalidResponse);
  result = EntryResult::kLinkFault;
  return true;
}

std::string HourMinuteText(unsigned hours, unsigned minutes) {
  char text[24];
  std::snprintf(text, sizeof text, "%u:%02u", hours, minutes);
  return text;
}

void StoreHourMinute(Row row, std::uint16_t hours, std::uint8_t minutes) {
  if (!IsPresent(row)) return;
  if (hours == 0xFFFF && minutes == 0xFF) {
    Hide(row);
    return;
  }
  StoreText(row, HourMinuteText(hours, minutes));
}

void StoreCounter16(Row row, std::uint16_t value) {
  if (!IsPresent(row)) return;
  if (value == 0xFFFF) {
    Hide(row);
    return;
  }
  StoreUnsigned(row, value);
}

std::string HexText(const ReplyView& reply, std::size_t first, std::size_t count) {
  std::string text;
  char hex[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(hex, sizeof hex, "%02X", reply.ByteAt(first + i));
    text += hex;
  }
  return text;
}

}  // namespace heatdiag::hbus
