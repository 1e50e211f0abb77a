// Telegrams for the H-Bus tests, written as hex text.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace heatdiag::testing {

using Bytes = std::vector<std::uint8_t>;

// "D1 0A 32" -> {0xD1, 0x0A, 0x32}
inline Bytes Hex(std::string_view text) {
  Bytes bytes;
  std::istringstream in{std::string(text)};
  std::string token;
  while (in >> token) bytes.push_back(static_cast<std::uint8_t>(std::stoul(token, nullptr, 16)));
  return bytes;
}

// A reply of the unit: header 0x4F, length, the given command and data, checksum.
inline Bytes Reply(std::string_view body) {
  const Bytes content = Hex(body);
  Bytes telegram = {0x4F, static_cast<std::uint8_t>(content.size() + 1)};
  telegram.insert(telegram.end(), content.begin(), content.end());
  std::uint8_t check = 0;
  for (std::uint8_t b : telegram) check ^= b;
  telegram.push_back(check);
  return telegram;
}

}  // namespace heatdiag::testing
