#include "views/trend_buffer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/string_table.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kLastStateTextId = 10769;
// Quotients this close to a whole number count as whole: 0.3 / 0.1 is 2.9999999999999996.
constexpr double kWholeTolerance = 1e-9;

// The value rounded to one significant digit, down (floor) or up (ceil); nullopt-like NaN for a
// value that has no such rounding.
double RoundToOneDigit(double value, bool up) {
  if (value == 0.0 || !std::isfinite(value)) return std::nan("");
  const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
  // A positive power of ten multiplies exactly; a negative one is applied as a division by the
  // exact inverse so that 0.05 comes out as the double nearest to 0.05.
  const double scale = std::pow(10.0, std::abs(exponent));
  double q = exponent >= 0 ? value / scale : value * scale;
  const double whole = std::round(q);
  if (std::fabs(q - whole) < kWholeTolerance) {
    q = whole;
  } else {
    q = up ? std::ceil(q) : std::floor(q);
  }
  return exponent >= 0 ? q * scale : q / scale;
}

struct StateTexts {
  std::string shortName;
  std::string longText;
};

StateTexts SplitStateText(std::uint32_t textId) {
  const std::string text = LoadString(textId);
  const std::size_t newline = text.find('\n');
  if (newline == std::string::npos) return {text, text};
  return {text.substr(0, newline), text.substr(newline + 1)};
}

// The short code of the first state text whose long text is `longText`: the device's table
// first (where two states share a long text, the device's own one), then every state text.
std::string FindShortName(std::string_view longText, StateNameTable table) {
  for (const StateNameEntry& entry : table) {
    if (entry.textId == 0) break;
    StateTexts texts = SplitStateText(entry.textId);
    if (texts.longText == longText) return texts.shortName;
  }
  for (std::uint32_t id = kFirstStateTextId; id <= kLastStateTextId; ++id) {
    StateTexts texts = SplitStateText(id);
    if (texts.longText == longText) return texts.shortName;
  }
  return {};
}

}  // namespace

double WidenLower(double lower, double value) {
  if (!(value < lower)) return lower;
  const double rounded = RoundToOneDigit(value, false);
  return std::isnan(rounded) ? lower : rounded;
}

double WidenUpper(double upper, double value) {
  if (!(value > upper)) return upper;
  const double rounded = RoundToOneDigit(value, true);
  return std::isnan(rounded) ? upper : rounded;
}

std::string CutText(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  std::size_t end = maxBytes;
  // Back up over continuation bytes so that no sequence is split.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

bool TrendBuffer::Configure(const TrendConfig& config) {
  if (config.size != sizeof(TrendConfig)) return false;
  if (config.channelCount < 1 || config.channelCount > kTrendMaxChannels) return false;
  if (config.bufferLength < 1 || config.bufferLength > kTrendBufferLength) return false;
  config_ = config;
  for (std::uint32_t k = 0; k < kTrendMaxChannels; ++k) {
    config_.name[k] = CutText(config.name[k], kTrendTextChars);
    config_.unit[k] = CutText(config.unit[k], kTrendTextChars);
  }
  samples_.assign(static_cast<std::size_t>(config_.channelCount) * config_.bufferLength, 0.0);
  count_.fill(0);
  ring_.fill(0);
  markers_.clear();
  total_ = 0;
  offset_ = 0;
  return true;
}

int TrendBuffer::AddSample(std::uint32_t channel, double value, int plotWidth) {
  if (paused_ || channel >= config_.channelCount) return -1;
  const std::uint32_t length = config_.bufferLength;
  double* ring = samples_.data() + static_cast<std::size_t>(channel) * length;
  const int before = static_cast<int>(count_[channel]);
  const bool following = offset_ >= MaxOffset(before, plotWidth) - 1;
  const bool full = count_[channel] >= length;
  if (!full) {
    ring[count_[channel]++] = value;
  } else {
    ring[ring_[channel]] = value;
    ring_[channel] = ring_[channel] + 1 >= length ? 0 : ring_[channel] + 1;
  }
  config_.lower[channel] = WidenLower(config_.lower[channel], value);
  config_.upper[channel] = WidenUpper(config_.upper[channel], value);
  if (channel == 0) {
    ++total_;
    if (following) {
      offset_ = MaxOffset(static_cast<int>(count_[0]), plotWidth);
    } else if (full) {
      // The oldest sample went: the display stays on the samples the user scrolled to.
      offset_ = std::max(0, offset_ - 1);
    }
    while (!markers_.empty() && markers_.front().sample < FirstKept())
      markers_.erase(markers_.begin());
  }
  return 1;
}

void TrendBuffer::Clear() {
  count_.fill(0);
  ring_.fill(0);
  markers_.clear();
  total_ = 0;
  offset_ = 0;
}

std::uint32_t TrendBuffer::Count(std::uint32_t channel) const {
  return channel < config_.channelCount ? count_[channel] : 0;
}

std::uint32_t TrendBuffer::RingIndex(std::uint32_t channel) const {
  return channel < config_.channelCount ? ring_[channel] : 0;
}

double TrendBuffer::Sample(std::uint32_t channel, std::uint32_t i) const {
  if (channel >= config_.channelCount || i >= count_[channel]) return 0.0;
  const std::uint32_t length = config_.bufferLength;
  const std::uint32_t slot = count_[channel] < length ? i : (ring_[channel] + i) % length;
  return samples_[static_cast<std::size_t>(channel) * length + slot];
}

double TrendBuffer::Lower(std::uint32_t channel) const {
  return channel < kTrendMaxChannels ? config_.lower[channel] : 0.0;
}

double TrendBuffer::Upper(std::uint32_t channel) const {
  return channel < kTrendMaxChannels ? config_.upper[channel] : 0.0;
}

void TrendBuffer::SetOffset(int offset, int plotWidth) {
  offset_ = std::clamp(offset, 0, MaxOffset(static_cast<int>(Count(0)), plotWidth));
}

void TrendBuffer::AddMarker(std::string shortName, std::string text) {
  if (paused_ || total_ == 0) return;
  markers_.push_back({total_ - 1, std::move(shortName), std::move(text)});
}

std::size_t TrendBuffer::MemoryBytes() const {
  std::size_t bytes = sizeof(*this) + samples_.capacity() * sizeof(double);
  bytes += markers_.capacity() * sizeof(TrendMarker);
  for (const TrendMarker& marker : markers_)
    bytes += marker.shortName.capacity() + marker.text.capacity();
  for (std::uint32_t k = 0; k < kTrendMaxChannels; ++k)
    bytes += config_.name[k].capacity() + config_.unit[k].capacity();
  return bytes;
}

int MaxOffset(int stored, int plotWidth) {
  return std::max(0, stored - std::max(0, plotWidth));
}

int ScrolledOffset(TrendScroll input, int offset, int stored, int plotWidth, int thumb) {
  long long next = offset;
  switch (input) {
    case TrendScroll::kLineLeft:
      next = static_cast<long long>(offset) - kTrendLineStep;
      break;
    case TrendScroll::kLineRight:
      next = static_cast<long long>(offset) + kTrendLineStep;
      break;
    case TrendScroll::kPageLeft:
      next = static_cast<long long>(offset) - plotWidth;
      break;
    case TrendScroll::kPageRight:
      next = static_cast<long long>(offset) + plotWidth;
      break;
    case TrendScroll::kHome:
      next = 0;
      break;
    case TrendScroll::kEnd:
      next = MaxOffset(stored, plotWidth);
      break;
    case TrendScroll::kThumb:
      next = thumb;
      break;
  }
  return static_cast<int>(std::clamp<long long>(next, 0, MaxOffset(stored, plotWidth)));
}

std::string CursorAgeText(int stored, int offset, int x, std::uint32_t samplePeriodMs) {
  const long long samples = static_cast<long long>(stored) - offset - x - 1;
  const long long tenths = std::max(0LL, samples) * samplePeriodMs / 100;
  char text[32];
  std::snprintf(text, sizeof text, "-%lld.%llds", tenths / 10, tenths % 10);
  return text;
}

std::string ShortStateName(std::string_view text, StateNameTable table) {
  if (std::string found = FindShortName(text, table); !found.empty()) return found;
  // "Long text N": a step number from the telegram or the table.
  const std::size_t blank = text.rfind(' ');
  if (blank == std::string_view::npos || blank + 1 >= text.size()) return std::string(text);
  const std::string_view number = text.substr(blank + 1);
  if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::string(text);
  const std::string_view prefix = text.substr(0, blank);
  const StateTexts unknown = SplitStateText(kUnknownStateTextId);
  if (prefix == unknown.longText) return unknown.shortName + " " + std::string(number);
  if (std::string found = FindShortName(prefix, table); !found.empty())
    return found + std::string(number);
  return std::string(text);
}

}  // namespace heatdiag
