// Identification, versions, capabilities and configuration: the telegrams of the connection pass.
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>

#include "base/frame_sink.h"
#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/hbus/conversions.h"
#include "drivers/hbus/decode.h"
#include "drivers/hbus/handlers.h"
#include "drivers/hbus/hbus_driver.h"
#include "drivers/hbus/texts.h"
#include "link/link_texts.h"

namespace heatdiag::hbus {
namespace {

constexpr std::uint8_t kIdentify = 0x51;
constexpr std::uint8_t kReadValues = 0x50;
constexpr std::uint8_t kReadThresholds = 0x53;
constexpr std::uint8_t kLayout = 0x38;
constexpr std::uint8_t kCo2 = 0x57;

void HideRows(std::initializer_list<Row> rows) {
  for (Row row : rows) Hide(row);
}

// An identification row does not end the session when the unit refuses or garbles it: its rows
// are hidden, and a garbled answer is reported only while the rows were still shown.
EntryResult IdentificationFailed(std::span<const Row> rows, bool wrongLength) {
  bool wasPresent = false;
  for (Row row : rows) wasPresent = wasPresent || IsPresent(row);
  for (Row row : rows) Hide(row);
  if (wrongLength && wasPresent) ShowThreadError(kTextInvalidLength);
  return EntryResult::kDone;
}

EntryResult IdentificationFailed(Row row, bool wrongLength) {
  return IdentificationFailed(std::span<const Row>(&row, 1), wrongLength);
}

// A character of an identification text; a zero byte ends the text.
void AppendChar(std::string& text, std::uint8_t byte) {
  if (byte != 0) text.push_back(static_cast<char>(byte));
}

std::string Format(const char* format, unsigned a, unsigned b, unsigned c = 0, unsigned d = 0) {
  char text[64];
  std::snprintf(text, sizeof text, format, a, b, c, d);
  return text;
}

std::string FuelTypeText(std::uint8_t nibble) {
  switch (nibble) {
    case 0x0:
      return LoadString(kTextFuelNeutral);
    case 0xA:
      return LoadString(kTextFuelPme);
    case 0xB:
      return LoadString(kTextFuelGasoline);
    case 0xD:
      return LoadString(kTextFuelDiesel);
    case 0xF:
      return LoadString(kTextFuelLocked);
    default:
      return LoadString(kTextFuelInvalid);
  }
}

const char* VentilationFactorText(std::uint8_t value) {
  switch (value) {
    case 1:
      return "3/4";
    case 2:
      return "1/2";
    case 3:
      return "1/4";
    default:
      return "1/1";
  }
}

std::uint32_t HeatingDurationLimit(std::uint8_t value) {
  return value >= 25 ? 255u : value * 10u;
}

// Fuel type and circulating pump setting share one byte.
void StoreFuelAndPump(std::uint8_t byte) {
  StoreText(26, FuelTypeText(byte & 0x0F));
  StoreText(27, (byte & 0x10) != 0 ? "1" : "0");
}

}  // namespace

void ApplyVersionHiding(Driver& d, std::uint8_t version) {
  if (version < kVersion30) {
    d.state.code = {};
    HideRows({2, 6, 9, 11, 12, 13, 14, 16, 19, 21, 23, 25, 34, 35, 69, 72, 73, 74});
    SetPresentRange(39, 51, false);
    SetPresentRange(76, 139, false);
    StoreUnsigned(141, 1);
    StoreUnsigned(142, 254);
    // Rows these units never deliver stay listed (the component test offers them) but show no
    // value rather than a 0.
    SetShown(24, false);
  }
  if (version < kVersion31) SetShown(7, false);
  if (version < kVersion32) {
    HideRows({64, 144, 145});
    SetShown(15, false);
  }
  const bool extended = version >= kVersion31;
  d.state.glowPlugResistanceWanted = extended;
  d.state.extendedTemperaturesWanted = extended;
  if (!extended) SetPresentRange(146, 156, false);
}

EntryResult HandleVersion(Driver& d, const ReplyView& reply) {
  LinkWorker& link = d.link;
  if (!reply.Answers(kIdentify) || reply.DataLength() != 2) {
    if (link.ProbeMode()) {
      link.SetProbeFailed(true);
      return EntryResult::kLinkFault;
    }
    EntryResult result{};
    if (RejectUnlessPositive(reply, kIdentify, result)) return result;
    return InvalidLength();
  }
  const std::uint8_t version = reply.ByteAt(4);
  StoreText(0, Format("%u.%u", version >> 4, version & 0x0F));
  if (version < 0x10 || version > 0x39) {
    if (link.ProbeMode()) {
      link.SetProbeFailed(true);
      return EntryResult::kLinkFault;
    }
    link.SetAnswered();
    ShowThreadError(kTextVersionNotImplemented);
    return EntryResult::kLinkFault;
  }
  d.SetVersion(version);
  ApplyVersionHiding(d, version);
  link.SetIdentified(true);
  link.SetAnswered();
  return EntryResult::kDone;
}

EntryResult HandleDeviceName(Driver&, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kIdentify, result)) return result;
  if (reply.DataLength() != 9) return InvalidLength();
  std::string name;
  for (std::size_t i = 4; i < 12; ++i) AppendChar(name, reply.ByteAt(i));
  while (!name.empty() && name.back() == ' ') name.pop_back();
  StoreText(1, name);
  if (name.compare(0, 4, "LOAD") == 0) {
    ShowThreadError(kTextFlashLoader);
    return EntryResult::kLinkFault;
  }
  return EntryResult::kDone;
}

EntryResult HandleCode(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kIdentify, result)) return result;
  const int dataLength = reply.DataLength();
  if (dataLength < 1 || dataLength > 9) return InvalidLength();
  const auto codeBytes = static_cast<std::size_t>(dataLength - 1);
  HBusCode code{};
  for (std::size_t i = 0; i < codeBytes; ++i) code[i] = reply.ByteAt(4 + i);
  d.state.code = code;
  StoreText(2, HexText(reply, 4, codeBytes));
  std::array<std::uint16_t, kCatalogueRows> hidden{};
  const std::size_t count = RowsHiddenBy(code, hidden);
  for (std::size_t i = 0; i < count; ++i) Hide(hidden[i]);
  return EntryResult::kDone;
}

EntryResult HandleLayout(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kLayout, result)) return result;
  if (reply.DataLength() != 7) return InvalidLength();
  DatasetLayout layout;
  layout.known = true;
  layout.cellCount = 1u << (reply.ByteAt(3) & 31);
  layout.start = reply.Word16At(4);
  layout.checksumEnd = reply.Word16At(6);
  layout.checksumAddress = reply.Word16At(8);
  layout.hasChecksumArea = layout.checksumEnd != layout.start;
  d.state.layout = layout;
  return EntryResult::kDone;
}

EntryResult HandleDeviceId(Driver& d, const ReplyView& reply) {
  if (!reply.Answers(kIdentify)) return IdentificationFailed(60, false);
  const int length = reply.DataLength();
  std::string text;
  if (length == 6) {
    text = HexText(reply, 4, 4);
    AppendChar(text, reply.ByteAt(8));
  } else if (length == 5 && d.Version() < kVersion30) {
    text = HexText(reply, 4, 3);
    AppendChar(text, reply.ByteAt(7));
  } else {
    return IdentificationFailed(60, true);
  }
  StoreText(60, text);
  return EntryResult::kDone;
}

EntryResult HandleVersions(Driver& d, const ReplyView& reply) {
  const std::uint8_t version = d.Version();
  const bool withEeprom = version >= kVersion32;
  static constexpr Row kVersionRows[] = {62, 63, 64};
  const std::span<const Row> rows(kVersionRows, withEeprom ? 3 : 2);
  if (!reply.Answers(kIdentify)) return IdentificationFailed(rows, false);
  const int length = reply.DataLength();
  const auto swVersion = [&](std::size_t at) {
    return Format("%02X/%02X %X.%02X", reply.ByteAt(at), reply.ByteAt(at + 1), reply.ByteAt(at + 2),
                  reply.ByteAt(at + 3));
  };
  if (version >= kVersion30) {
    if (length != (withEeprom ? 11 : 7)) return IdentificationFailed(rows, true);
    StoreText(62, Format("%02X/%02X", reply.ByteAt(4), reply.ByteAt(5)));
    StoreText(63, swVersion(6));
    if (withEeprom) StoreText(64, swVersion(10));
  } else {
    if (length != 5) return IdentificationFailed(rows, true);
    StoreText(62, Format("%02X/%02X", reply.ByteAt(4), reply.ByteAt(5)));
    StoreText(63, Format("%02X/%02X", reply.ByteAt(6), reply.ByteAt(7)));
  }
  return EntryResult::kDone;
}

EntryResult HandleDatasetId(Driver& d, const ReplyView& reply) {
  if (!reply.Answers(kIdentify)) return IdentificationFailed(61, false);
  const int length = reply.DataLength();
  const bool old = d.Version() < kVersion30;
  std::string text;
  if (length == 7) {
    text = HexText(reply, 4, 4);
    AppendChar(text, reply.ByteAt(8));
    text.push_back(static_cast<char>('0' + reply.ByteAt(9)));
  } else if (old && length == 5) {
    text = HexText(reply, 4, 3);
    AppendChar(text, reply.ByteAt(7));
  } else if (old && length == 6) {
    text = HexText(reply, 4, 3);
    AppendChar(text, reply.ByteAt(7));
    text.push_back(static_cast<char>('0' + reply.ByteAt(8)));
  } else {
    return IdentificationFailed(61, true);
  }
  StoreText(61, text);
  return EntryResult::kDone;
}

namespace {

EntryResult HandleDate(const ReplyView& reply, Row row) {
  if (!reply.Answers(kIdentify)) return IdentificationFailed(row, false);
  if (reply.DataLength() != 4) return IdentificationFailed(row, true);
  StoreText(row, Format("%02X.%02X.%02X", reply.ByteAt(4), reply.ByteAt(5), reply.ByteAt(6)));
  return EntryResult::kDone;
}

// All value bytes (behind the index byte) as hexadecimal text.
EntryResult HandleHexIdentification(const ReplyView& reply, Row row) {
  if (!reply.Answers(kIdentify)) return IdentificationFailed(row, false);
  const int length = reply.DataLength();
  if (length < 2) return IdentificationFailed(row, true);
  StoreText(row, HexText(reply, 4, static_cast<std::size_t>(length - 1)));
  return EntryResult::kDone;
}

}  // namespace

EntryResult HandleDateControlUnit(Driver&, const ReplyView& reply) {
  return HandleDate(reply, 65);
}
EntryResult HandleDateHeater(Driver&, const ReplyView& reply) {
  return HandleDate(reply, 66);
}
EntryResult HandleFarstartCode(Driver&, const ReplyView& reply) {
  return HandleHexIdentification(reply, 70);
}
EntryResult HandleCustomerId(Driver&, const ReplyView& reply) {
  return HandleHexIdentification(reply, 67);
}

EntryResult HandleSerialNumber(Driver& d, const ReplyView& reply) {
  const bool old = d.Version() < kVersion30;
  static constexpr Row kSerialRows[] = {68, 69};
  const std::span<const Row> rows(kSerialRows, old ? 1 : 2);
  if (!reply.Answers(kIdentify)) return IdentificationFailed(rows, false);
  const int length = reply.DataLength();
  if (old) {
    if (length != 5) return IdentificationFailed(rows, true);
    StoreText(68, HexText(reply, 4, 4));
    return EntryResult::kDone;
  }
  if (length < 4) return IdentificationFailed(rows, true);
  const auto values = static_cast<std::size_t>(length - 1);  // value bytes from b4
  StoreText(68, HexText(reply, 4, values - 2));
  std::string signature;
  AppendChar(signature, reply.ByteAt(4 + values - 2));
  signature += HexText(reply, 4 + values - 1, 1);
  StoreText(69, signature);
  return EntryResult::kDone;
}

EntryResult HandleVoltageThresholds(Driver&, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReadThresholds, result)) return result;
  if (reply.DataLength() != 15) return InvalidLength();
  StoreReal(71, Milli(reply.Word16At(4)));
  StoreUnsigned(73, reply.ByteAt(10));
  StoreReal(72, Milli(reply.Word16At(11)));
  StoreUnsigned(74, reply.ByteAt(17));
  return EntryResult::kDone;
}

EntryResult HandleTemperatureThresholds(Driver& d, const ReplyView& reply) {
  if (!reply.Answers(kReadValues) || reply.DataLength() < 3) {
    HideRows({144, 145});
    return EntryResult::kDone;
  }
  if (!HasCapability(d.state.code, cap::kTemperatureThresholds)) return EntryResult::kDone;
  StoreSigned(144, Celsius50(reply.ByteAt(4)));
  StoreSigned(145, Celsius50(reply.ByteAt(5)));
  return EntryResult::kDone;
}

EntryResult HandleConfiguration(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReadValues, result)) return result;
  if (reply.DataLength() != 4) return InvalidLength();
  const std::uint8_t byte = reply.ByteAt(4);
  StoreText(26, FuelTypeText(byte & 0x0F));
  if (HasCapability(d.state.code, cap::kPumpInIdlePeriod))
    StoreText(27, (byte & 0x10) != 0 ? "1" : "0");
  StoreUnsigned(28, HeatingDurationLimit(reply.ByteAt(5)));
  StoreText(29, VentilationFactorText(reply.ByteAt(6)));
  return EntryResult::kDone;
}

EntryResult HandleConfigurationOld(Driver& d, const ReplyView& reply) {
  EntryResult result{};
  if (RejectUnlessPositive(reply, kReadValues, result)) return result;
  if (reply.DataLength() != 9) return InvalidLength();
  StoreReal(71, Milli(OldVoltageToMilliVolt(reply.ByteAt(4))));
  StoreUnsigned(140, reply.ByteAt(5));
  d.link.FinishRequest(0);
  StoreUnsigned(28, HeatingDurationLimit(reply.ByteAt(6)));
  StoreText(29, VentilationFactorText(reply.ByteAt(7)));
  StoreUnsigned(3, reply.ByteAt(8));
  const std::uint8_t period = reply.ByteAt(9);  // pump period in 10 ms
  StoreReal(4, period == 0 ? 0.0 : 1.0 / (period * 0.01));
  StoreUnsigned(5, reply.ByteAt(10));
  StoreFuelAndPump(reply.ByteAt(11));
  return EntryResult::kDone;
}

std::size_t BuildCo2Values(Driver& d, Work, std::size_t length) {
  if (!HasCapability(d.state.code, cap::kCo2Calibration)) {
    // Nothing to ask: release a caller waiting for the values.
    d.link.FinishRequest(1);
    return 0;
  }
  return length;
}

EntryResult HandleCo2Values(Driver& d, const ReplyView& reply) {
  if (!reply.Answers(kCo2) || reply.DataLength() != 4) {
    d.link.FinishRequest(1);
    return EntryResult::kDone;
  }
  StoreUnsigned(140, reply.ByteAt(4));
  StoreUnsigned(141, reply.ByteAt(5));
  StoreUnsigned(142, reply.ByteAt(6));
  d.link.FinishRequest(0);
  return EntryResult::kDone;
}

}  // namespace heatdiag::hbus
