// The far end of a pseudo-terminal, playing diagnosis adapter and control unit: it collects what
// the tester writes into frames, and answers each frame from a script (the adapter's echo, the
// unit's reply, pauses, a hang-up).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace heatdiag::linktest {

using Bytes = std::vector<std::uint8_t>;
using SteadyTime = std::chrono::steady_clock::time_point;

struct Chunk {
  std::uint32_t delayMs = 0;  // pause before the bytes are written
  Bytes bytes;
};

struct PeerAnswer {
  std::vector<Chunk> chunks;
  bool hangUp = false;  // close the line after the chunks (the adapter is unplugged)
};

// How many bytes the frame beginning with these bytes has in all; 0 while that is not known yet.
using Framer = std::function<std::size_t(std::span<const std::uint8_t>)>;
// The answer to a complete frame; the argument counts the frames so far, from 1.
using Script = std::function<PeerAnswer(const Bytes& frame, int number)>;

// H-Bus telegrams: header, length, then length more bytes.
std::size_t TelegramFramer(std::span<const std::uint8_t> bytes);

// A telegram with the given header and body (command and data): length and checksum added.
Bytes Telegram(std::uint8_t header, std::initializer_list<std::uint8_t> body);
Bytes Telegram(std::uint8_t header, const Bytes& body);
// A block frame: the bytes and their checksum.
Bytes BlockFrame(std::initializer_list<std::uint8_t> bytes);

// Answers: the echo alone, the echo followed by a reply after delayMs, nothing at all.
PeerAnswer EchoOnly(const Bytes& frame);
PeerAnswer EchoThen(const Bytes& frame, Bytes reply, std::uint32_t delayMs = 5);
PeerAnswer Silence();

class PtyPeer {
 public:
  PtyPeer();
  ~PtyPeer();
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  // Creates the pseudo-terminal; false when the system has none to give.
  bool Open();
  const std::string& SlavePath() const { return slavePath_; }

  // Starts answering frames.
  void Start(Script script, Framer framer = TelegramFramer);
  void Stop();
  // Writes bytes unasked (a telegram of another bus member, noise).
  void Inject(const Bytes& bytes);
  // Closes the line now.
  void HangUp();

  // Everything read so far, frames as they arrived, and when each arrived.
  std::vector<Bytes> Frames() const;
  std::vector<SteadyTime> FrameTimes() const;
  int FrameCount() const;
  Bytes RawReceived() const;
  // Waits until at least count frames have arrived (false after timeoutMs).
  bool WaitForFrames(int count, std::uint32_t timeoutMs) const;

 private:
  void Run();
  void WriteAll(const Bytes& bytes);
  void CloseMaster();

  int master_ = -1;
  std::string slavePath_;
  Script script_;
  Framer framer_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;  // guards the records below and the master descriptor
  mutable std::condition_variable arrived_;
  std::vector<Bytes> frames_;
  std::vector<SteadyTime> times_;
  Bytes raw_;
};

}  // namespace heatdiag::linktest
