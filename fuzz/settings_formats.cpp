// The settings' text formats, read as the program reads them at start: integers, doubles,
// hexadecimal byte blocks (window placements, the free telegram block, the debug window
// position) and texts. The input is split at line feeds into the stored texts, one per setting
// of the table in its order; what was read is written back and read again, and must stay the
// same where the format keeps every bit (integers, blocks, texts).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <variant>

#include "base/settings.h"
#include "link/hbus_frame.h"
#include "service/free_telegram.h"

using namespace heatdiag;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  MemorySettingsBackend stored;
  std::size_t from = 0;
  for (const SettingDescriptor& d : SettingsTable()) {
    if (from > input.size()) break;
    const std::size_t end = std::min(input.find('\n', from), input.size());
    stored.WriteText(d.section, d.value, input.substr(from, end - from));
    from = end + 1;
  }
  Settings first;
  ReadSettings(stored, first);

  // The blocks as their users take them.
  for (const PlacementBlock* block :
       {&first.parViewPos, &first.overviewPos, &first.infoViewPos, &first.workViewPos,
        &first.errorViewPos, &first.trendViewPos, &first.protViewPos}) {
    const WindowPlacement placement = UnpackPlacement(*block);
    if (PackPlacement(placement) != *block) std::abort();
  }
  FreeTelegram telegram;
  static_assert(sizeof telegram == sizeof first.freeTele);
  std::memcpy(&telegram, first.freeTele.data(), sizeof telegram);
  std::array<std::uint8_t, kTransmitBufferSize> transmit{};
  const std::size_t n = std::min<std::size_t>(telegram.length, telegram.data.size());
  BuildTelegram(kRequestHeader, std::span(telegram.data.data(), n), transmit);

  // Written back and read again.
  MemorySettingsBackend again;
  WriteSettings(again, first);
  Settings second;
  ReadSettings(again, second);
  // "%f" keeps six decimals only: doubles are left out of the comparison.
  for (const SettingDescriptor& d : SettingsTable()) {
    if (const auto* member = std::get_if<double Settings::*>(&d.target)) {
      first.*(*member) = 0;
      second.*(*member) = 0;
    }
  }
  if (!(first == second)) std::abort();

  // The single conversions on the whole input.
  ParseSettingInteger(input);
  ParseSettingDouble(input);
  std::array<std::uint8_t, kFreeTelegramBytes> block{};
  ParseSettingBlock(input, block);
  CutSettingText(input);
  return 0;
}
