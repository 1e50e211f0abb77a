#include "drivers/kit/keyword_checks.h"

#include <cstdio>
#include <string_view>

#include "base/frame_sink.h"
#include "link/link_texts.h"

namespace heatdiag::keyword {
namespace {

struct NakText {
  std::uint8_t code;
  std::uint32_t textId;
};
constexpr NakText kNakTexts[] = {
    {0x10, kTextNakGeneralReject},         {0x11, kTextNakRequestNotSupported},
    {0x12, kTextNakParameterNotSupported}, {0x21, kTextNakBusy},
    {0x22, kTextNakConditionsNotCorrect},  {0x31, kTextNakInvalidRange},
    {0x33, kTextNakAccessDenied},          {0x42, kTextNakProgrammingFailed},
    {0x52, kTextNakReadingFailed},         {0x77, kTextNakBlockChecksum},
};

EntryResult Fault(std::uint32_t textId, Report report) {
  if (report == Report::kShow) ShowThreadError(textId);
  return EntryResult::kLinkFault;
}

bool Check(const ReplyView& reply, std::uint8_t service, bool lengthOk, EntryResult& result,
           Report report) {
  if (reply.IsNak()) {
    if (report == Report::kShow) ShowNak(reply.NakCode());
    result = EntryResult::kLinkFault;
    return false;
  }
  if (!reply.Answers(service)) {
    result = InvalidResponse(report);
    return false;
  }
  if (!lengthOk) {
    result = InvalidLength(report);
    return false;
  }
  return true;
}

}  // namespace

void ShowNak(std::uint8_t code) {
  for (const NakText& entry : kNakTexts) {
    if (entry.code == code) {
      ShowThreadError(entry.textId);
      return;
    }
  }
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", code);
  ShowThreadError(kTextNakUnknown, std::string_view(hex));
}

EntryResult InvalidResponse(Report report) {
  return Fault(kTextInvalidResponse, report);
}

EntryResult InvalidLength(Report report) {
  return Fault(kTextInvalidLength, report);
}

EntryResult InvalidKeyword(Report report) {
  return Fault(kTextInvalidKeyword, report);
}

bool Accept(const ReplyView& reply, std::uint8_t service, int length, EntryResult& result,
            Report report) {
  return Check(reply, service, reply.DataLength() == length, result, report);
}

bool AcceptAtLeast(const ReplyView& reply, std::uint8_t service, int length, EntryResult& result,
                   Report report) {
  return Check(reply, service, reply.DataLength() >= length, result, report);
}

EntryResult CheckAck(const ReplyView& reply, std::uint8_t service, Report report) {
  if (reply.IsNak()) {
    if (report == Report::kShow) ShowNak(reply.NakCode());
    return EntryResult::kDone;
  }
  if (reply.Answers(service)) return EntryResult::kDone;
  return InvalidResponse(report);
}

}  // namespace heatdiag::keyword
