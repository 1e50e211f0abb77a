// The sample store of the Actual values graph: per channel a ring of the last hour of samples,
// the channel's limits that widen when a value leaves them, the first sample shown (scroll
// offset) and the operating-state changes seen while sampling. No window: the graph's drawing
// child keeps one and draws from it, the export and the tests read it directly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/catalogue/parameter.h"

namespace heatdiag {

inline constexpr std::uint32_t kTrendMaxChannels = 20;
inline constexpr std::uint32_t kTrendBufferLength = 7200;  // one hour at 500 ms
inline constexpr std::uint32_t kTrendSamplePeriodMs = 500;
// Name and unit texts hold at most 39 bytes.
inline constexpr std::size_t kTrendTextChars = 39;

// The configuration handed to the drawing child once per channel setup. A record whose size
// field is not sizeof(TrendConfig) is ignored.
struct TrendConfig {
  std::uint32_t size = sizeof(TrendConfig);
  std::uint32_t channelCount = 0;  // 1..20
  std::uint32_t bufferLength = kTrendBufferLength;
  std::uint32_t samplePeriodMs = kTrendSamplePeriodMs;
  std::array<double, kTrendMaxChannels> lower{};
  std::array<double, kTrendMaxChannels> upper{};
  std::array<double, kTrendMaxChannels> third{};  // the row's resolution (store selector 0x40000)
  std::array<std::string, kTrendMaxChannels> name{};
  std::array<std::string, kTrendMaxChannels> unit{};
};

// A limit widened to take `value`: below the lower limit it becomes the value rounded down to
// one significant digit, above the upper limit rounded up (87 raises 80 to 90, -0.042 lowers 0
// to -0.05). A value of 0, or one that is not finite, keeps the limit.
double WidenLower(double lower, double value);
double WidenUpper(double upper, double value);

// Cuts a text to at most maxBytes bytes without splitting a UTF-8 sequence.
std::string CutText(std::string_view text, std::size_t maxBytes);

// An operating-state change seen while sampling.
struct TrendMarker {
  std::uint64_t sample = 0;  // absolute number of the sample it came with (see TotalSamples)
  std::string shortName;     // "VGL2"
  std::string text;          // the stored long text, "Glowing 2"
};

class TrendBuffer {
 public:
  // Takes the configuration when its size field fits; clears every channel and (re)allocates
  // the samples zeroed. False, and nothing changes, for a record of another size or a channel
  // count or buffer length out of range.
  bool Configure(const TrendConfig& config);
  const TrendConfig& Config() const { return config_; }
  std::uint32_t ChannelCount() const { return config_.channelCount; }
  std::uint32_t BufferLength() const { return config_.bufferLength; }

  // Adds a sample to a channel: 1, or -1 while paused or for a channel beyond the count.
  // Widens the channel's limits; on channel 0 the scroll offset follows the newest sample when
  // the display is at (or one sample before) the end. plotWidth: samples the display shows.
  int AddSample(std::uint32_t channel, double value, int plotWidth);
  // Drops every sample and marker; the offset goes back to 0.
  void Clear();
  void SetPaused(bool paused) { paused_ = paused; }
  bool Paused() const { return paused_; }

  std::uint32_t Count(std::uint32_t channel) const;
  std::uint32_t RingIndex(std::uint32_t channel) const;
  // Sample i of a channel, 0 = the oldest kept; i below Count().
  double Sample(std::uint32_t channel, std::uint32_t i) const;
  double Lower(std::uint32_t channel) const;
  double Upper(std::uint32_t channel) const;

  // Samples ever added to channel 0 since the last Clear or Configure.
  std::uint64_t TotalSamples() const { return total_; }
  // Absolute number of the oldest sample kept on channel 0.
  std::uint64_t FirstKept() const { return total_ - Count(0); }

  // The first sample shown, within 0..Count(0) - plotWidth.
  int Offset() const { return offset_; }
  void SetOffset(int offset, int plotWidth);
  // Keeps the offset valid after the plot width changed.
  void ClampOffset(int plotWidth) { SetOffset(offset_, plotWidth); }

  // Records an operating-state change with the newest sample of channel 0; markers whose sample
  // has left the ring are dropped. Ignored while paused.
  void AddMarker(std::string shortName, std::string text);
  const std::vector<TrendMarker>& Markers() const { return markers_; }

  // Bytes the buffer holds (samples, markers, configuration texts).
  std::size_t MemoryBytes() const;

 private:
  TrendConfig config_;
  std::vector<double> samples_;  // channelCount x bufferLength
  std::array<std::uint32_t, kTrendMaxChannels> count_{};
  std::array<std::uint32_t, kTrendMaxChannels> ring_{};
  std::vector<TrendMarker> markers_;
  std::uint64_t total_ = 0;
  int offset_ = 0;
  bool paused_ = false;
};

// --- Scrolling --------------------------------------------------------------------------------

enum class TrendScroll {
  kLineLeft,   // Left, Up, scroll line left, wheel forward: -10
  kLineRight,  // Right, Down, scroll line right, wheel backward: +10
  kPageLeft,   // Page Up: - plot width
  kPageRight,  // Page Down: + plot width
  kHome,       // 0
  kEnd,        // newest samples at the right edge
  kThumb,      // the thumb position
};
inline constexpr int kTrendLineStep = 10;

// The offset after a scroll input, within 0..stored - plotWidth.
int ScrolledOffset(TrendScroll input, int offset, int stored, int plotWidth, int thumb = 0);
// The highest offset: max(0, stored - plotWidth).
int MaxOffset(int stored, int plotWidth);

// The value cursor's age text "-%d.%ds" for the sample at plot column x:
// tenths = (stored - offset - x - 1) x sample period / 100.
std::string CursorAgeText(int stored, int offset, int x, std::uint32_t samplePeriodMs);

// --- Operating states -----------------------------------------------------------------------

// The short name of a stored operating-state text ("Glowing 2" -> "VGL2", "Unknown state 99"
// -> "??? 99"), looked up in `table` first and then in all state texts; a text that is no
// state text is returned as it stands.
std::string ShortStateName(std::string_view text, StateNameTable table);

}  // namespace heatdiag
