#include "views/protocol.h"

#include <atomic>
#include <cstdio>
#include <string>

#include "shell/string_table.h"

namespace heatdiag {
namespace {
std::atomic<ProtocolSink*> g_sink{nullptr};
}

void SetProtocolSink(ProtocolSink* sink) {
  g_sink.store(sink);
}

void ProtocolAdd(std::string_view text, int kind) {
  if (auto* sink = g_sink.load()) sink->Add(text, kind);
}

void ProtocolAddById(std::uint32_t stringId, int kind) {
  if (g_sink.load() == nullptr) return;
  std::string text = LoadString(stringId);
  text = text.substr(0, text.find_first_of("\r\n"));
  ProtocolAdd(text, kind);
}

void ProtocolAddTelegram(const std::uint8_t* bytes, std::size_t count, int kind) {
  if (g_sink.load() == nullptr || bytes == nullptr || count == 0) return;
  std::string text = kind == kProtocolSent ? "Tx: " : "Rx: ";
  char hex[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(hex, sizeof hex, "%02X ", bytes[i]);
    text += hex;
  }
  ProtocolAdd(text, kind);
}

}  // namespace heatdiag
