// The answer checks every keyword-link handler starts with, and their messages.
//
// A negative answer (0x7F) shows the reason code's message; an answer to another service
// "Invalid response from control unit!"; a wrong data length "Invalid message length!". While a
// device search probe runs the checks stay silent: a unit of another family is no error.
#pragma once

#include <cstdint>

#include "drivers/kit/keyword_reply.h"
#include "link/poll_client.h"

namespace heatdiag::keyword {

// Whether the checks show their messages.
enum class Report : bool { kSilent = false, kShow = true };

// Shows the message of a negative answer's reason code (blocking error box): the NAK table's
// text, or "NAK: unknown acknowlede code 0x%02X!" for a code outside it.
void ShowNak(std::uint8_t code);
// Shows "Invalid response from control unit!" / "Invalid message length!" / "Invalid keyword
// (wrong device selected)!" (unless silent) and returns kLinkFault.
EntryResult InvalidResponse(Report report = Report::kShow);
EntryResult InvalidLength(Report report = Report::kShow);
EntryResult InvalidKeyword(Report report = Report::kShow);

// A positive answer to `service` with exactly `length` data bytes: true. Otherwise the fitting
// message (negative answer, wrong service, wrong length) and `result` = kLinkFault.
bool Accept(const ReplyView& reply, std::uint8_t service, int length, EntryResult& result,
            Report report = Report::kShow);
// The same with at least `length` data bytes.
bool AcceptAtLeast(const ReplyView& reply, std::uint8_t service, int length, EntryResult& result,
                   Report report = Report::kShow);
// The answer check of requests whose answer carries nothing: a positive answer, or a negative
// one (its message shown), is kDone; anything else "Invalid response from control unit!" and
// kLinkFault.
EntryResult CheckAck(const ReplyView& reply, std::uint8_t service, Report report = Report::kShow);

}  // namespace heatdiag::keyword
