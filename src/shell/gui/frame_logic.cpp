#include "shell/gui/frame_logic.h"

#include <algorithm>

namespace heatdiag {

FrameRect PlaceFrame(int left, int top, int right, int bottom, int screenWidth, int screenHeight) {
  // Saved rectangles come from a settings file: keep the arithmetic in 64 bits so that absurd
  // values cannot overflow.
  const long long w0 = static_cast<long long>(right) - left;
  const long long h0 = static_cast<long long>(bottom) - top;
  long long width = w0 >= screenWidth ? screenWidth : w0;
  long long height = h0 >= screenHeight ? screenHeight : h0;
  width = std::max<long long>(width, kMinFrameWidth);
  height = std::max<long long>(height, kMinFrameHeight);
  long long x = left > 0 ? left : 0;
  long long y = top > 0 ? top : 0;
  if (x + width > screenWidth) x = screenWidth - width;
  if (y + height > screenHeight) y = screenHeight - height;
  if (x < 0) {
    width += x;
    x = 0;
  }
  if (y < 0) {
    height += y;
    y = 0;
  }
  return {static_cast<int>(x), static_cast<int>(y), static_cast<int>(width),
          static_cast<int>(height)};
}

CommandHint SplitCommandHint(std::string_view text) {
  const auto lf = text.find('\n');
  if (lf == std::string_view::npos) return {std::string(text), std::nullopt};
  return {std::string(text.substr(0, lf)), std::string(text.substr(lf + 1))};
}

std::string CutUtf8(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  std::size_t end = maxBytes;
  // Step back over continuation bytes so that a multi-byte character is dropped whole.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}

StatusText::StatusText(std::string defaultText)
    : default_(CutUtf8(defaultText, kMaxChars)), current_(default_) {}

void StatusText::Set(std::optional<std::string_view> text) {
  if (!text) {
    current_ = default_;
    hold_ = 0;
    return;
  }
  std::string cut = CutUtf8(*text, kMaxChars);
  const auto lf = cut.find('\n');
  if (lf != std::string::npos) cut.resize(lf);
  current_ = std::move(cut);
  hold_ = kHoldTicks;
}

bool StatusText::Tick() {
  if (hold_ == 0) return false;
  if (--hold_ != 0) return false;
  current_ = default_;
  return true;
}

bool AutoStartCounter::Tick(bool autoStart, bool sessionActive) {
  if (!autoStart) return false;
  if (sessionActive) {
    counter_ = kAfterSession;
    return false;
  }
  if (counter_ >= kStartAt) return true;
  ++counter_;
  return false;
}

}  // namespace heatdiag
