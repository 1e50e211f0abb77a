#include "views/terminal_lines.h"

#include <algorithm>

namespace heatdiag {

TerminalLines::TerminalLines(std::size_t capacity) : slots_(std::max<std::size_t>(capacity, 1)) {}

std::size_t TerminalLines::Slot(int index) const {
  const std::size_t start = static_cast<std::size_t>(count_) < slots_.size() ? 0 : writeIndex_;
  return (static_cast<std::size_t>(index) + start) % slots_.size();
}

const TerminalLine& TerminalLines::At(int index) const {
  return slots_[Slot(index)];
}

bool TerminalLines::Add(std::string_view text, std::uint32_t colour, int kind,
                        const ProtocolStamp& stamp) {
  if (stopped_) return false;
  text = text.substr(0, std::min(text.find('\n'), kMaxChars));
  const bool full = static_cast<std::size_t>(count_) == slots_.size();
  TerminalLine& line = slots_[writeIndex_];
  line.text.assign(text);
  line.colour = colour;
  line.kind = kind;
  line.stamp = stamp;
  longest_ = std::max(longest_, static_cast<int>(text.size()));
  writeIndex_ = (writeIndex_ + 1) % slots_.size();
  if (full) {
    ++dropped_;
  } else {
    ++count_;
  }
  if (count_ > visibleLines_) {
    if (topLine_ >= count_ - visibleLines_ - 1) {
      // At the end: the window follows it.
      topLine_ = count_ - visibleLines_;
    } else if (full && topLine_ > 0) {
      // Scrolled back: the lines shown moved up by one in the ring; so does the window.
      --topLine_;
    }
  }
  return true;
}

void TerminalLines::Clear() {
  count_ = 0;
  writeIndex_ = 0;
  dropped_ = 0;
  topLine_ = 0;
  leftColumn_ = 0;
  longest_ = 0;
}

void TerminalLines::SetStopped(bool stopped) {
  stopped_ = stopped;
  if (!stopped) topLine_ = MaxTopLine();
}

void TerminalLines::SetVisible(int lines, int columns) {
  const bool atEnd = topLine_ >= MaxTopLine();
  visibleLines_ = std::max(0, lines);
  visibleColumns_ = std::max(0, columns);
  // A window at the end stays there when it grows or shrinks.
  SetTopLine(atEnd ? MaxTopLine() : topLine_);
  SetLeftColumn(leftColumn_);
}

int TerminalLines::MaxTopLine() const {
  return std::max(0, count_ - visibleLines_);
}

int TerminalLines::MaxLeftColumn() const {
  return std::max(0, std::max(kMinLineWidth, longest_) - visibleColumns_);
}

void TerminalLines::SetTopLine(int top) {
  topLine_ = std::clamp(top, 0, MaxTopLine());
}

void TerminalLines::SetLeftColumn(int left) {
  leftColumn_ = std::clamp(left, 0, MaxLeftColumn());
}

}  // namespace heatdiag
