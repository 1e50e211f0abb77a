#include "dataset/hex_edit_model.h"

#include <gtest/gtest.h>

namespace heatdiag {
namespace {

// An image of `size` cells from `start`, every value equal to its alt, one SUM8 area over
// 0x10..0x1E with its checksum at 0x1F.
DatasetImage Image(std::uint16_t start, std::uint16_t size) {
  DatasetImage image;
  image.start = start;
  image.size = size;
  image.cells.assign(size, DatasetCell{});
  for (std::uint16_t a = 0; a < size; ++a) {
    image.cells[a].value = image.cells[a].alt = static_cast<std::uint8_t>(a);
    image.cells[a].flags = a >= start ? CELL_VALID : 0;
  }
  if (size >= 0x20) {
    image.areas = {{0x10, 0x1E, 0x1F, SUM8}};
    image.areaCount = 1;
    RecalculateChecksums(&image);
    for (auto& cell : image.cells) {
      cell.alt = cell.value;
      cell.flags &= static_cast<std::uint8_t>(~CELL_CHANGED);
    }
  }
  return image;
}

struct Position {
  std::uint16_t address;
  int nibble;
};

TEST(HexEditMoveTest, NibbleAndCellMovesClampToTheDatasetArea) {
  struct Case {
    const char* what;
    Position from;
    int nibbles;
    Position to;
  };
  // Dataset area 0x004 .. 0x1FF.
  const Case cases[] = {
      {"right within a cell", {0x10, 0}, 1, {0x10, 1}},
      {"right to the next cell", {0x10, 1}, 1, {0x11, 0}},
      {"left to the previous cell", {0x10, 0}, -1, {0x0F, 1}},
      {"left at start clamps, low digit", {0x04, 0}, -1, {0x04, 1}},
      {"right at the end clamps", {0x1FF, 1}, 1, {0x1FF, 0}},
      {"down keeps the digit", {0x10, 1}, 32, {0x20, 1}},
      {"up above start clamps", {0x10, 0}, -32, {0x04, 0}},
      {"page down past the end", {0x150, 1}, 512, {0x1FF, 1}},
  };
  for (const Case& c : cases) {
    DatasetImage image = Image(0x04, 0x200);
    HexEditModel model;
    model.Bind(&image);
    model.MoveNibbles(2 * (c.from.address - image.start));
    if (c.from.nibble == 1) model.MoveNibbles(1);
    ASSERT_EQ(model.CaretAddress(), c.from.address) << c.what;
    model.MoveNibbles(c.nibbles);
    EXPECT_EQ(model.CaretAddress(), c.to.address) << c.what;
    EXPECT_EQ(model.Nibble(), c.to.nibble) << c.what;
  }
}

TEST(HexEditMoveTest, TheViewFollowsTheCaretAndScrollsWithinItsRows) {
  DatasetImage image = Image(0, 0x200);  // 32 rows
  HexEditModel model;
  model.Bind(&image);
  EXPECT_TRUE(model.NeedsScrollBar());
  model.MoveNibbles(2 * 16 * 16);  // row 16: just below the visible rows
  EXPECT_EQ(model.FirstRow(), 1);
  EXPECT_EQ(model.CaretVisibleRow(), 15);
  model.MoveEnd();
  EXPECT_EQ(model.FirstRow(), 16);
  model.MoveHome();
  EXPECT_EQ(model.FirstRow(), 0);
  model.Wheel(-100);
  EXPECT_EQ(model.FirstRow(), 16);
  EXPECT_EQ(model.CaretVisibleRow(), -1) << "scrolling leaves the caret where it was";
  model.Wheel(3);
  EXPECT_EQ(model.FirstRow(), 13);

  // 256 bytes: exactly 16 rows, no scroll bar, and the wheel keeps the first row at 0.
  for (const std::uint16_t size : {std::uint16_t{0x100}, std::uint16_t{0x40}}) {
    DatasetImage small = Image(0, size);
    model.Bind(&small);
    EXPECT_FALSE(model.NeedsScrollBar());
    model.Wheel(-1);
    EXPECT_EQ(model.FirstRow(), 0) << size;
  }
}

TEST(HexEditMoveTest, AClickPlacesTheCaretOnTheDigitItHit) {
  DatasetImage image = Image(0x12, 0x40);
  HexEditModel model;
  model.Bind(&image);
  const int cw = 8;
  const int lh = 16;
  // Row 1, column 3: x' = x - 5 cw; the cell's first two characters are the high digit.
  model.PlaceCaretAt(5 * cw + 3 * 3 * cw + 1, lh + 2, cw, lh);
  EXPECT_EQ(model.CaretAddress(), 0x13);
  EXPECT_EQ(model.Nibble(), 0);
  model.PlaceCaretAt(5 * cw + 3 * 3 * cw + 2 * cw, lh + 2, cw, lh);
  EXPECT_EQ(model.Nibble(), 1);
  // Below start: the start cell's high digit. Beyond the image: its last cell's low digit.
  model.PlaceCaretAt(5 * cw + 2 * cw + 1, 0, cw, lh);
  EXPECT_EQ(model.CaretAddress(), 0x12);
  EXPECT_EQ(model.Nibble(), 0);
  model.PlaceCaretAt(5 * cw, 10 * lh, cw, lh);
  EXPECT_EQ(model.CaretAddress(), 0x3F);
  EXPECT_EQ(model.Nibble(), 1);
  // Left of the cells, and far right of them.
  model.PlaceCaretAt(0, lh, cw, lh);
  EXPECT_EQ(model.CaretAddress(), 0x12) << "0x10 lies below start";
  model.PlaceCaretAt(60 * cw, 2 * lh, cw, lh);
  EXPECT_EQ(model.CaretAddress(), 0x2F);
}

TEST(HexEditTypingTest, DigitsChangeTheCellAndTheChecksumFollows) {
  DatasetImage image = Image(0x04, 0x40);
  HexEditModel model;
  model.Bind(&image);
  model.MoveNibbles(2 * (0x12 - 0x04));
  const std::uint8_t sumBefore = image.cells[0x1F].value;
  model.TypeDigit(0xA);
  EXPECT_EQ(image.cells[0x12].value, 0xA2);
  EXPECT_TRUE(model.IsChanged(0x12));
  EXPECT_EQ(image.cells[0x1F].value, static_cast<std::uint8_t>(sumBefore + 0xA2 - 0x12));
  EXPECT_EQ(model.Nibble(), 1);

  // The same digit again still marks the cell changed.
  model.MoveNibbles(1);
  ASSERT_EQ(model.CaretAddress(), 0x13);
  model.TypeDigit(1);
  EXPECT_EQ(image.cells[0x13].value, 0x13);
  EXPECT_TRUE(model.IsChanged(0x13));

  // Typing into the checksum cell is overwritten by the recalculation at once.
  DatasetImage fresh = Image(0x04, 0x40);
  model.Bind(&fresh);
  model.MoveNibbles(2 * (0x1F - 0x04));
  const std::uint8_t sum = fresh.cells[0x1F].value;
  model.TypeDigit((sum >> 4) ^ 0xF);
  EXPECT_EQ(fresh.cells[0x1F].value, sum);
  EXPECT_NE(model.StatusLine().find("checksum OK"), std::string::npos);
}

TEST(HexEditTypingTest, BackspaceRestoresFromTheAltValue) {
  DatasetImage image = Image(0x04, 0x40);
  HexEditModel model;
  model.Bind(&image);
  model.MoveNibbles(2 * (0x12 - 0x04));
  model.TypeDigit(0xF);
  model.TypeDigit(0xF);  // 0x12 is now FF, the caret on 0x13's high digit
  EXPECT_EQ(image.cells[0x12].value, 0xFF);
  model.Backspace();  // low digit of 0x12 back to 2
  EXPECT_EQ(image.cells[0x12].value, 0xF2);
  EXPECT_TRUE(model.IsChanged(0x12));
  model.Backspace();  // high digit back to 1: equal to alt, no longer changed
  EXPECT_EQ(image.cells[0x12].value, 0x12);
  EXPECT_FALSE(model.IsChanged(0x12));
  EXPECT_EQ(image.cells[0x1F].value, Image(0x04, 0x40).cells[0x1F].value);

  // On the high digit of the start cell nothing changes and the caret stays clamped.
  model.MoveHome();
  model.Backspace();
  EXPECT_EQ(model.CaretAddress(), 0x04);
  EXPECT_EQ(model.Nibble(), 1);
  EXPECT_EQ(image.cells[0x04].value, 0x04);
}

TEST(HexEditTypingTest, UndoTakesBackEditsUpToTheBoundImage) {
  DatasetImage image = Image(0x04, 0x40);
  const DatasetImage original = image;
  HexEditModel model;
  model.Bind(&image);
  model.MoveNibbles(2 * (0x12 - 0x04));
  model.TypeDigit(7);
  model.TypeDigit(7);
  model.Backspace();
  while (model.Undo()) {
  }
  for (std::size_t a = 0; a < image.cells.size(); ++a) {
    EXPECT_EQ(image.cells[a].value, original.cells[a].value) << a;
    EXPECT_EQ(image.cells[a].flags, original.cells[a].flags) << a;
  }
  EXPECT_EQ(model.CaretAddress(), 0x12);
}

TEST(HexEditTextTest, RowsHeaderStatusAndReferenceMarks) {
  DatasetImage image = Image(0x12, 0x40);
  HexEditModel model;
  EXPECT_EQ(HexEditModel::HeaderText().size(), 53u);
  EXPECT_EQ(HexEditModel::HeaderText().substr(5, 6), " 00 01");

  DatasetImage held = image;
  model.Bind(&image, &held);
  EXPECT_EQ(model.RowLabel(0x1A), "01A0:");
  EXPECT_EQ(model.CellText(0x11), "  ") << "below start";
  EXPECT_EQ(model.CellText(0x40), "  ") << "beyond the size";
  EXPECT_EQ(model.CellText(0x12), "12");
  EXPECT_TRUE(model.IsChecksumCell(0x1F));
  EXPECT_FALSE(model.IsChecksumCell(0x20));

  image.cells[0x12].value = 0x5F;
  image.cells[0x12].alt = 0x4E;
  image.cells[0x12].flags |= CELL_CHANGED;
  EXPECT_EQ(model.StatusLine().substr(0, 35), "0012: 0x5F 95 01011111B (alt: 0x4E)");
  EXPECT_NE(model.StatusLine().find("checksum wrong"), std::string::npos);
  EXPECT_EQ(model.StatusLine().substr(model.StatusLine().size() - 22), std::string(22, ' '));
  EXPECT_TRUE(model.DiffersFromReference(0x12));
  EXPECT_FALSE(model.DiffersFromReference(0x13));
}

}  // namespace
}  // namespace heatdiag
