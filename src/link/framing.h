// What a line transport needs to know of one framing on the diagnosis line, and the timings it
// works with. Free of I/O: a framing builds request frames, tells the receiver how a frame is
// assembled byte by byte, checks it, and classifies what came back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace heatdiag {

// The transmit, reply and assembly buffers of a transport: no frame is longer.
inline constexpr std::size_t kTransmitBufferSize = 256;

// The timings of the transport under one framing.
struct TransportTiming {
  // The wait for the reply event per attempt.
  std::uint32_t replyWaitMs = 1300;
  // Attempts per request, normally and while a device search probe runs.
  int attempts = 5;
  int probeAttempts = 2;
  // The receiver's deadline per byte inside a frame (a frame's rest of n bytes is awaited
  // (n + 1) x this long); 0: the line's own byte time-out.
  std::uint32_t byteTimeoutMs = 0;
  // The write time-out of one frame, as the framing's line settings give it to the port; 0: the
  // port's own.
  std::uint32_t writeTimeoutMs = 0;
  // How long the line must have been quiet before the sender may write (framings that wait for
  // the quiet line). Measured on the steady clock, never shorter.
  std::uint32_t idleGapMs = 40;
  // The pause after a byte that cannot start a frame (FrameStep::kSkip), before the next byte
  // is tried.
  std::uint32_t skipPauseMs = 10;
};

// What the receiver does next with the bytes of a frame assembled so far.
struct FrameStep {
  enum Kind : std::uint8_t {
    kMore,      // read `count` more bytes, then ask again
    kComplete,  // the frame is whole: check its checksum
    kSkip,      // the single byte received cannot start a frame: drop it silently, pause 10 ms
    kDrop,      // not a frame: log what came as received, then `textId` (0: nothing) as error
  };
  Kind kind = kComplete;
  std::uint32_t count = 0;
  // kMore: the frame ends after these bytes (the receiver then reads the frame's body).
  bool lengthKnown = false;
  std::uint32_t textId = 0;

  static constexpr FrameStep More(std::uint32_t n, bool lengthKnown) {
    return {kMore, n, lengthKnown, 0};
  }
  static constexpr FrameStep Complete() { return {kComplete, 0, false, 0}; }
  static constexpr FrameStep Skip() { return {kSkip, 0, false, 0}; }
  static constexpr FrameStep Drop(std::uint32_t textId) { return {kDrop, 0, false, textId}; }
};

// A checked frame that is not the echo of the request.
enum class ReplyKind : std::uint8_t {
  kPositive,    // the positive answer to the request sent
  kNegative,    // a negative acknowledge; NakReason gives its code
  kUnexpected,  // addressed to us, but neither of the two
  kForeign,     // another member of the bus: recorded and otherwise ignored
};

class Framing {
 public:
  virtual ~Framing() = default;

  // The longest payload that Build takes.
  virtual std::size_t MaxPayload() const = 0;
  // Writes the request frame of the payload into out; its size, or 0 when it does not fit
  // (nothing is written then).
  virtual std::size_t Build(std::span<const std::uint8_t> payload,
                            std::span<std::uint8_t> out) const = 0;
  // Assembly: given the bytes received so far (at least one), whether the echo of `sent` is still
  // awaited and the frame sent, what to do next.
  virtual FrameStep Next(std::span<const std::uint8_t> assembled, bool echoPending,
                         std::span<const std::uint8_t> sent) const = 0;
  // Whether the whole frame's checksum is right.
  virtual bool ChecksumOk(std::span<const std::uint8_t> frame) const = 0;
  // A checked frame that is not the echo, against the request frame that was sent.
  virtual ReplyKind Classify(std::span<const std::uint8_t> frame,
                             std::span<const std::uint8_t> sent) const = 0;
  // The reason code of a frame that Classify calls kNegative (0 where the frame has none).
  virtual std::uint8_t NakReason(std::span<const std::uint8_t> frame) const = 0;
  // Whether the sender writes only into a quiet line (TransportTiming::idleGapMs after the last
  // byte). When not, the line belongs to this transfer and the sender is never held back.
  virtual bool WaitsForQuietLine() const = 0;
  // Whether a request that got no answer and not a single byte back, not even its echo, is
  // reported as "Diagnosis adapter is not connected!" rather than "Timeout!".
  virtual bool ReportsMissingAdapter() const = 0;
};

}  // namespace heatdiag
