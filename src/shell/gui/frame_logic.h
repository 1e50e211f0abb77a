// The frame's small rules that need no window: where the frame opens, how a command's string
// splits into status hint and tooltip, the status-text hold and the automatic start counter.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace heatdiag {

struct FrameRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const FrameRect&) const = default;
};

inline constexpr int kMinFrameWidth = 300;
inline constexpr int kMinFrameHeight = 200;

// The frame's rectangle from the saved window rectangle on a screen of the given size: cut to
// the screen, at least 300 x 200, and moved back on screen.
FrameRect PlaceFrame(int left, int top, int right, int bottom, int screenWidth, int screenHeight);

// A command string: the status hint before the first line feed, the tooltip after it (none when
// the string has no line feed).
struct CommandHint {
  std::string hint;
  std::optional<std::string> tooltip;
};
CommandHint SplitCommandHint(std::string_view text);

// Cuts a text to at most maxBytes bytes without splitting a UTF-8 sequence.
std::string CutUtf8(std::string_view text, std::size_t maxBytes);

// The text of status-bar part 0: a given text stays for 50 frame ticks (10 s), then the default
// text returns.
class StatusText {
 public:
  static constexpr std::uint32_t kHoldTicks = 50;
  static constexpr std::size_t kMaxChars = 255;

  explicit StatusText(std::string defaultText = {});

  // Shows the text (cut at its first line feed) and starts the hold; no text shows the default
  // text without a hold.
  void Set(std::optional<std::string_view> text);
  // One frame tick; true when the hold ran out now and the default text came back.
  bool Tick();

  const std::string& Current() const { return current_; }
  const std::string& Default() const { return default_; }
  std::uint32_t HoldTicks() const { return hold_; }

 private:
  std::string default_;
  std::string current_;
  std::uint32_t hold_ = 0;
};

// The automatic start: with AutoStart on, a diagnosis is started on the second tick after
// start-up, again 1 s after a session has ended, and then on every tick until one runs.
class AutoStartCounter {
 public:
  static constexpr std::uint32_t kInitial = 9;
  static constexpr std::uint32_t kAfterSession = 5;
  static constexpr std::uint32_t kStartAt = 10;

  // One frame tick; true when a diagnosis is to be started now.
  bool Tick(bool autoStart, bool sessionActive);
  std::uint32_t Value() const { return counter_; }

 private:
  std::uint32_t counter_ = kInitial;
};

}  // namespace heatdiag
