// The protocol: a running record of messages, errors, state changes and raw telegrams, added to
// from any thread. Entries reach the installed ProtocolSink (the Protocol view, or a headless
// recorder).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace heatdiag {

enum ProtocolKind : int {
  kProtocolSent = 0,
  kProtocolReceived = 1,
  kProtocolMessage = 2,
  kProtocolError = 3,
  kProtocolStateChange = 4,
};

class ProtocolSink {
 public:
  virtual ~ProtocolSink() = default;
  virtual void Add(std::string_view text, int kind) = 0;
};

// Installs the sink that receives protocol entries (nullptr: entries are dropped).
void SetProtocolSink(ProtocolSink* sink);

void ProtocolAdd(std::string_view text, int kind);
// Adds the string with the given id, cut at its first line break.
void ProtocolAddById(std::uint32_t stringId, int kind);
// Adds "Tx: " (kind 0) or "Rx: " (kind 1) and every byte as "%02X ".
void ProtocolAddTelegram(const std::uint8_t* bytes, std::size_t count, int kind);

}  // namespace heatdiag
