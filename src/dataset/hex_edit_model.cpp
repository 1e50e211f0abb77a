#include "dataset/hex_edit_model.h"

#include <algorithm>
#include <cstdio>

namespace heatdiag {
namespace {

// How many edits Ctrl+Z can take back.
constexpr std::size_t kUndoDepth = 4096;

}  // namespace

void HexEditModel::Bind(DatasetImage* image, const DatasetImage* reference) {
  image_ = image;
  reference_ = reference;
  undo_.clear();
  firstRow_ = 0;
  rowCount_ = image != nullptr ? (image->size + 15) / 16 : 0;
  caret_ = image != nullptr ? image->start : 0;
  nibble_ = 0;
  ScrollCaretIntoView();
}

int HexEditModel::MaxFirstRow() const {
  return std::max(0, rowCount_ - kVisibleRows);
}

int HexEditModel::CaretVisibleRow() const {
  const int row = caret_ / 16 - firstRow_;
  return row >= 0 && row < kVisibleRows ? row : -1;
}

void HexEditModel::Clamp(int address, int nibble) {
  if (image_ == nullptr || image_->size == 0) return;
  const int first = image_->start;
  const int last = image_->size - 1;
  if (address < first) address = first;
  if (address > last) address = last;
  caret_ = static_cast<std::uint16_t>(address);
  nibble_ = nibble;
  ScrollCaretIntoView();
}

void HexEditModel::ScrollCaretIntoView() {
  const int row = caret_ / 16;
  if (row < firstRow_) firstRow_ = row;
  if (row > firstRow_ + kVisibleRows - 1) firstRow_ = row - (kVisibleRows - 1);
}

void HexEditModel::MoveNibbles(int n) {
  int address = caret_;
  int nibble = nibble_;
  if (n == 1) {
    if (nibble == 0) {
      nibble = 1;
    } else {
      nibble = 0;
      ++address;
    }
  } else if (n == -1) {
    if (nibble == 1) {
      nibble = 0;
    } else {
      nibble = 1;
      --address;
    }
  } else {
    address += n / 2;
  }
  Clamp(address, nibble);
}

void HexEditModel::MoveHome() {
  if (image_ != nullptr) Clamp(image_->start, nibble_);
}

void HexEditModel::MoveEnd() {
  if (image_ != nullptr) Clamp(image_->size - 1, nibble_);
}

void HexEditModel::PlaceCaretAt(int x, int y, int charWidth, int lineHeight) {
  if (image_ == nullptr || charWidth <= 0 || lineHeight <= 0) return;
  const int row = std::clamp(y / lineHeight, 0, kVisibleRows - 1);
  const int xCell = std::max(0, x - kLabelChars * charWidth);
  const int column = std::min(15, xCell / (kCellChars * charWidth));
  const int address = (firstRow_ + row) * 16 + column;
  int nibble = xCell % (kCellChars * charWidth) < 2 * charWidth ? 0 : 1;
  if (address < image_->start) nibble = 0;
  if (address >= image_->size) nibble = 1;
  Clamp(address, nibble);
}

void HexEditModel::ScrollTo(int row) {
  firstRow_ = std::clamp(row, 0, MaxFirstRow());
}

void HexEditModel::Wheel(int notches) {
  ScrollTo(firstRow_ - notches);
}

void HexEditModel::Remember() {
  if (undo_.size() == kUndoDepth) undo_.erase(undo_.begin());
  undo_.push_back(Edit{image_->cells, caret_, nibble_});
}

void HexEditModel::TypeDigit(int digit) {
  if (image_ == nullptr || !InDatasetArea(caret_) || digit < 0 || digit > 15) return;
  Remember();
  DatasetCell& cell = image_->cells[caret_];
  cell.value = nibble_ == 0 ? static_cast<std::uint8_t>((cell.value & 0x0F) | (digit << 4))
                            : static_cast<std::uint8_t>((cell.value & 0xF0) | digit);
  cell.flags |= CELL_CHANGED;
  RecalculateChecksums(image_);
  MoveNibbles(1);
}

void HexEditModel::Backspace() {
  if (image_ == nullptr) return;
  int address = caret_;
  int nibble = 0;
  bool exists = true;
  if (nibble_ == 1) {
    nibble = 0;
  } else if (caret_ > image_->start) {
    --address;
    nibble = 1;
  } else {
    exists = false;
  }
  if (exists && InDatasetArea(static_cast<std::uint32_t>(address))) {
    DatasetCell& cell = image_->cells[static_cast<std::size_t>(address)];
    if ((cell.flags & CELL_CHANGED) != 0) {
      Remember();
      const std::uint8_t mask = nibble == 0 ? 0xF0 : 0x0F;
      cell.value = static_cast<std::uint8_t>((cell.value & ~mask) | (cell.alt & mask));
      if (cell.value == cell.alt) cell.flags &= static_cast<std::uint8_t>(~CELL_CHANGED);
    }
  }
  MoveNibbles(-1);
  RecalculateChecksums(image_);
}

bool HexEditModel::Undo() {
  if (image_ == nullptr || undo_.empty()) return false;
  Edit edit = std::move(undo_.back());
  undo_.pop_back();
  if (edit.cells.size() == image_->cells.size()) image_->cells = std::move(edit.cells);
  Clamp(edit.caret, edit.nibble);
  return true;
}

std::string HexEditModel::HeaderText() {
  std::string text(kLabelChars, ' ');
  char cell[8];
  for (int c = 0; c < 16; ++c) {
    std::snprintf(cell, sizeof cell, " %02X", c);
    text += cell;
  }
  return text;
}

std::string HexEditModel::RowLabel(int row) const {
  char text[16];
  std::snprintf(text, sizeof text, "%04X:", static_cast<unsigned>(row * 16) & 0xFFFFu);
  return text;
}

bool HexEditModel::InDatasetArea(std::uint32_t address) const {
  return image_ != nullptr && address >= image_->start && address < image_->size &&
         address < image_->cells.size();
}

std::string HexEditModel::CellText(std::uint16_t address) const {
  if (!InDatasetArea(address)) return "  ";
  char text[4];
  std::snprintf(text, sizeof text, "%02X", image_->cells[address].value);
  return text;
}

bool HexEditModel::IsChecksumCell(std::uint16_t address) const {
  return image_ != nullptr && IsChecksumRelevant(*image_, address);
}

bool HexEditModel::IsChanged(std::uint16_t address) const {
  return image_ != nullptr && address < image_->cells.size() &&
         (image_->cells[address].flags & CELL_CHANGED) != 0;
}

bool HexEditModel::DiffersFromReference(std::uint16_t address) const {
  if (reference_ == nullptr || !InDatasetArea(address) || address >= reference_->cells.size())
    return false;
  const DatasetCell& held = reference_->cells[address];
  return (held.flags & CELL_VALID) != 0 && held.value != image_->cells[address].value;
}

std::string HexEditModel::StatusLine() const {
  if (image_ == nullptr || caret_ >= image_->cells.size()) return {};
  const DatasetCell& cell = image_->cells[caret_];
  char text[64];
  std::snprintf(text, sizeof text, "%04X: 0x%02X %u ", static_cast<unsigned>(caret_), cell.value,
                static_cast<unsigned>(cell.value));
  std::string line = text;
  for (int bit = 7; bit >= 0; --bit) line += ((cell.value >> bit) & 1) != 0 ? '1' : '0';
  line += 'B';
  if ((cell.flags & CELL_CHANGED) != 0) {
    std::snprintf(text, sizeof text, " (alt: 0x%02X)", cell.alt);
    line += text;
  }
  const std::size_t areas = std::min<std::size_t>(image_->areas.size(), image_->areaCount);
  for (std::size_t i = 0; i < areas; ++i) {
    const ChecksumArea& area = image_->areas[i];
    const auto computed = ComputeChecksum(*image_, area);
    const auto stored = StoredChecksum(*image_, area);
    if (areas > 1) {
      std::snprintf(text, sizeof text, "  area %zu:", i + 1);
      line += text;
    }
    line += computed && stored && *computed == *stored ? "  checksum OK" : "  checksum wrong";
  }
  line += std::string(22, ' ');
  return line;
}

}  // namespace heatdiag
