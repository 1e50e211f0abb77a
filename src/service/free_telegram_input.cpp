#include "service/free_telegram_input.h"

#include <algorithm>
#include <cstdio>

namespace heatdiag::service {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads one hexadecimal number at `i` (an optional "0x" first); moves `i` behind its digits.
// nullopt when no digit starts there; values above FF saturate at 0x100.
std::optional<unsigned> ReadHex(std::string_view text, std::size_t& i) {
  std::size_t at = i;
  if (at + 2 < text.size() && text[at] == '0' && (text[at + 1] == 'x' || text[at + 1] == 'X') &&
      HexDigit(text[at + 2]) >= 0)
    at += 2;
  if (at >= text.size() || HexDigit(text[at]) < 0) return std::nullopt;
  unsigned value = 0;
  for (; at < text.size() && HexDigit(text[at]) >= 0; ++at)
    value = std::min(value * 16 + static_cast<unsigned>(HexDigit(text[at])), 0x100u);
  i = at;
  return value;
}

void PutLittle(FreeTelegramBlock& block, std::size_t at, std::uint32_t value, std::size_t bytes) {
  for (std::size_t k = 0; k < bytes; ++k)
    block[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}

std::uint32_t GetLittle(const FreeTelegramBlock& block, std::size_t at, std::size_t bytes) {
  std::uint32_t value = 0;
  for (std::size_t k = 0; k < bytes; ++k)
    value |= static_cast<std::uint32_t>(block[at + k]) << (8 * k);
  return value;
}

constexpr std::size_t kLengthAt = 2;
constexpr std::size_t kDataAt = 4;
constexpr std::size_t kViewAnswerAt = kDataAt + kFreeTelegramDataSize;

}  // namespace

std::optional<std::uint8_t> ParseHexAddress(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  const std::optional<unsigned> value = ReadHex(text, i);
  if (!value || *value > 0xFF) return std::nullopt;
  while (i < text.size() && IsBlank(text[i])) ++i;
  if (i != text.size()) return std::nullopt;
  return static_cast<std::uint8_t>(*value);
}

std::optional<std::vector<std::uint8_t>> ParseHexData(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  std::size_t i = 0;
  while (true) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size()) break;
    const std::optional<unsigned> value = ReadHex(text, i);
    if (!value || *value > 0xFF) return std::nullopt;
    if (bytes.size() < kFreeTelegramDataSize) bytes.push_back(static_cast<std::uint8_t>(*value));
  }
  return bytes;
}

std::optional<FreeTelegram> ParseFreeTelegramInput(std::string_view deviceAddress,
                                                   std::string_view sourceAddress,
                                                   std::string_view data, bool viewAnswer) {
  const std::optional<std::uint8_t> device = ParseHexAddress(deviceAddress);
  const std::optional<std::uint8_t> source = ParseHexAddress(sourceAddress);
  const std::optional<std::vector<std::uint8_t>> bytes = ParseHexData(data);
  if (!device || !source || !bytes) return std::nullopt;
  FreeTelegram telegram;
  telegram.deviceAddress = *device;
  telegram.sourceAddress = *source;
  telegram.length = static_cast<std::uint16_t>(bytes->size());
  std::copy(bytes->begin(), bytes->end(), telegram.data.begin());
  telegram.viewAnswer = viewAnswer ? 1 : 0;
  return telegram;
}

std::string FormatAddress(std::uint8_t address) {
  char text[4];
  std::snprintf(text, sizeof text, "%02X", address);
  return text;
}

std::string FormatData(const FreeTelegram& telegram) {
  std::string text;
  const std::size_t length = std::min<std::size_t>(telegram.length, kFreeTelegramDataSize);
  for (std::size_t i = 0; i < length; ++i) text += FormatAddress(telegram.data[i]) + " ";
  return text;
}

FreeTelegramBlock ToSettingsBlock(const FreeTelegram& telegram) {
  FreeTelegramBlock block{};
  block[0] = telegram.deviceAddress;
  block[1] = telegram.sourceAddress;
  PutLittle(block, kLengthAt, std::min<std::uint32_t>(telegram.length, kFreeTelegramDataSize), 2);
  std::copy(telegram.data.begin(), telegram.data.end(), block.begin() + kDataAt);
  PutLittle(block, kViewAnswerAt, telegram.viewAnswer, 4);
  return block;
}

FreeTelegram FromSettingsBlock(const FreeTelegramBlock& block) {
  FreeTelegram telegram;
  telegram.deviceAddress = block[0];
  telegram.sourceAddress = block[1];
  telegram.length = static_cast<std::uint16_t>(
      std::min<std::uint32_t>(GetLittle(block, kLengthAt, 2), kFreeTelegramDataSize));
  std::copy_n(block.begin() + kDataAt, kFreeTelegramDataSize, telegram.data.begin());
  telegram.viewAnswer = GetLittle(block, kViewAnswerAt, 4) != 0 ? 1 : 0;
  return telegram;
}

}  // namespace heatdiag::service
