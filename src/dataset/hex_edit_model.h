// What the hex editor shows of a dataset image and where its caret is: the visible rows, the
// caret cell and digit, and the edits that keys make. The widget only draws this state and
// feeds it keys and clicks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dataset/dataset_image.h"

namespace heatdiag {

class HexEditModel {
 public:
  static constexpr int kVisibleRows = 16;
  static constexpr int kRowChars = 53;   // "%04X:" and 16 cells of " %02X"
  static constexpr int kLabelChars = 5;  // "%04X:"
  static constexpr int kCellChars = 3;

  // Binds the image: first row 0, the caret on the start address's high digit. The image is
  // edited in place and must outlive the binding. `reference`, when given, is what the device
  // held (the temporary storage): cells that differ from it are marked.
  void Bind(DatasetImage* image, const DatasetImage* reference = nullptr);
  bool IsBound() const { return image_ != nullptr; }
  const DatasetImage* Image() const { return image_; }

  int FirstRow() const { return firstRow_; }
  int RowCount() const { return rowCount_; }
  std::uint16_t CaretAddress() const { return caret_; }
  int Nibble() const { return nibble_; }  // 0 high digit, 1 low digit
  bool NeedsScrollBar() const { return rowCount_ > kVisibleRows; }
  // The highest first row the view can have.
  int MaxFirstRow() const;
  // The caret's row within the visible rows, or -1 when it is scrolled out of view.
  int CaretVisibleRow() const;
  // The caret's column in characters from the start of a row.
  int CaretColumn() const { return kCellChars * (caret_ % 16) + 6 + nibble_; }

  // Moves the caret by n nibbles: +1 / -1 digit by digit, any other n by n / 2 cells keeping
  // the digit; then clamped to the dataset area and scrolled into view.
  void MoveNibbles(int n);
  // Home and End: to the start or the last address, keeping the digit.
  void MoveHome();
  void MoveEnd();
  // A click in the data rows at x, y pixels of a grid of the given character size.
  void PlaceCaretAt(int x, int y, int charWidth, int lineHeight);
  // Scrolls to a first row, clamped to 0 .. MaxFirstRow(). Scrolling leaves the caret alone.
  void ScrollTo(int row);
  // Wheel notches: positive away from the user (up), negative towards (down).
  void Wheel(int notches);

  // A hexadecimal digit typed at the caret: the digit takes the value, the cell is changed
  // (also when the value stays), the checksums are recalculated and the caret moves on.
  void TypeDigit(int digit);
  // Restores the digit left of the caret from the alt value of a changed cell, then moves one
  // nibble left and recalculates the checksums.
  void Backspace();
  // Undoes the last typed digit or Backspace of this binding; false when there is none left.
  bool Undo();

  // The texts of the grid.
  static std::string HeaderText();  // the 16 column labels " %02X", after the address width
  std::string RowLabel(int row) const;
  // "%02X" of the value, or two blanks outside the dataset area.
  std::string CellText(std::uint16_t address) const;
  bool InDatasetArea(std::uint32_t address) const;
  bool IsChecksumCell(std::uint16_t address) const;
  bool IsChanged(std::uint16_t address) const;
  // The value differs from the reference image (what the device held).
  bool DiffersFromReference(std::uint16_t address) const;
  // "%04X: 0x%02X %u " with the binary digits and "B", " (alt: 0x%02X)" for a changed cell,
  // and a word for each checksum area whether its stored checksum matches.
  std::string StatusLine() const;

 private:
  // The cells before an edit (the recalculation may change the checksum cells too) and where
  // the caret was.
  struct Edit {
    std::vector<DatasetCell> cells;
    std::uint16_t caret;
    int nibble;
  };
  void Clamp(int address, int nibble);
  void ScrollCaretIntoView();
  void Remember();

  DatasetImage* image_ = nullptr;
  const DatasetImage* reference_ = nullptr;
  int firstRow_ = 0;
  int rowCount_ = 0;
  std::uint16_t caret_ = 0;
  int nibble_ = 0;
  std::vector<Edit> undo_;
};

}  // namespace heatdiag
