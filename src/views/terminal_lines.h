// The lines of a protocol text window: a ring of a fixed number of lines, each at most 511
// characters in its colour, with the window's scroll position, which keeps a reader scrolled
// back on the same lines while the ring moves on. Main thread only; the widget draws it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/protocol.h"

namespace heatdiag {

struct TerminalLine {
  std::string text;  // at most 511 characters, no line feed
  std::uint32_t colour = 0;
  int kind = kProtocolMessage;
  ProtocolStamp stamp;
};

class TerminalLines {
 public:
  static constexpr std::size_t kMaxChars = 511;
  // Columns the horizontal scroll range covers (0..255 - visible columns), or the longest line
  // held if that is longer.
  static constexpr int kMinLineWidth = 255;

  explicit TerminalLines(std::size_t capacity);

  // Adds a line (cut at its first line feed and to 511 characters). False, and nothing changes,
  // while stopped.
  bool Add(std::string_view text, std::uint32_t colour, int kind = kProtocolMessage,
           const ProtocolStamp& stamp = {});
  void Clear();
  // Starting puts the end of the protocol in view.
  void SetStopped(bool stopped);
  bool Stopped() const { return stopped_; }

  std::size_t Capacity() const { return slots_.size(); }
  // Lines held, at most the capacity.
  int Count() const { return count_; }
  // Line i in display order, 0 the oldest.
  const TerminalLine& At(int index) const;
  // The number of lines dropped from the front since the last clear: display line i is line
  // Sequence(i) of everything added, which stays the same while the ring moves on.
  std::uint64_t Sequence(int index) const { return dropped_ + static_cast<std::uint64_t>(index); }
  std::uint64_t Dropped() const { return dropped_; }

  // The window's size in whole rows and columns.
  void SetVisible(int lines, int columns);
  int VisibleLines() const { return visibleLines_; }
  int VisibleColumns() const { return visibleColumns_; }

  int TopLine() const { return topLine_; }
  int LeftColumn() const { return leftColumn_; }
  int MaxTopLine() const;
  int MaxLeftColumn() const;
  void SetTopLine(int top);  // clamped to 0..MaxTopLine()
  void SetLeftColumn(int left);
  void ScrollLines(int delta) { SetTopLine(topLine_ + delta); }
  void PageUp() { SetTopLine(topLine_ - visibleLines_); }
  void PageDown() { SetTopLine(topLine_ + visibleLines_); }
  void Home() { SetTopLine(0); }
  void End() { SetTopLine(MaxTopLine()); }

 private:
  std::size_t Slot(int index) const;

  std::vector<TerminalLine> slots_;
  int count_ = 0;
  std::size_t writeIndex_ = 0;
  std::uint64_t dropped_ = 0;
  int visibleLines_ = 0;
  int visibleColumns_ = 0;
  int topLine_ = 0;
  int leftColumn_ = 0;
  int longest_ = 0;
  bool stopped_ = false;
};

}  // namespace heatdiag
