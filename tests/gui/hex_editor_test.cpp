#include "dataset/gui/hex_editor.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "base/settings.h"
#include "dataset/dataset_worker.h"
#include "dataset/eol_file.h"
#include "dataset/gui/eol_editor_dialog.h"
#include "gui/qt_app.h"

namespace heatdiag {
namespace {

using test::DrainEvents;

DatasetImage Image(std::uint16_t start, std::uint16_t size) {
  DatasetImage image;
  image.start = start;
  image.size = size;
  image.cells.assign(size, DatasetCell{});
  for (std::uint16_t a = start; a < size; ++a) {
    image.cells[a].value = image.cells[a].alt = static_cast<std::uint8_t>(a * 7);
    image.cells[a].flags = CELL_VALID;
  }
  image.areas = {{0x20, 0x3E, 0x3F, SUM8}};
  image.areaCount = 1;
  RecalculateChecksums(&image);
  for (auto& cell : image.cells) {
    cell.alt = cell.value;
    cell.flags &= static_cast<std::uint8_t>(~CELL_CHANGED);
  }
  return image;
}

class EditorDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    test::App();
    ProgramSettings() = Settings{};
    request.image = &image;
    dialog = std::make_unique<EolEditorDialog>(request, nullptr);
    dialog->show();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    editor = dialog->Editor();
    editor->Data()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([this] { return editor->Data()->hasFocus(); }));
  }
  void TearDown() override {
    dialog.reset();
    DrainEvents();
  }
  // The colour at the middle of a cell's two digits, as drawn.
  QRgb CellBackground(std::uint16_t address) {
    const QImage shot = editor->Data()->grab().toImage();
    const int row = address / 16 - editor->Model().FirstRow();
    const int column = HexEditModel::kLabelChars + HexEditModel::kCellChars * (address % 16) + 1;
    // Just right of the caret bar at the top of the line: background, not glyph.
    return shot.pixel(column * editor->CharWidth() + 3, row * editor->LineHeight() + 1) & 0xFFFFFF;
  }

  DatasetImage image = Image(0x10, 0x200);
  EditorRequest request;
  std::unique_ptr<EolEditorDialog> dialog;
  HexEditControl* editor = nullptr;
};

TEST_F(EditorDialogTest, KeysReachTheEditorAndTheChecksumFollows) {
  HexEditData* data = editor->Data();
  QTest::keyClick(data, Qt::Key_Down);
  QTest::keyClick(data, Qt::Key_Down);  // 0x30, inside the checksum area
  ASSERT_EQ(editor->Model().CaretAddress(), 0x30);
  const std::uint8_t sum = image.cells[0x3F].value;
  QTest::keyClicks(data, QStringLiteral("a5"));
  EXPECT_EQ(image.cells[0x30].value, 0xA5);
  EXPECT_TRUE(image.cells[0x30].flags & CELL_CHANGED);
  EXPECT_EQ(image.cells[0x3F].value,
            static_cast<std::uint8_t>(sum - static_cast<std::uint8_t>(0x30 * 7) + 0xA5));
  EXPECT_TRUE(dialog->isVisible()) << "no key of the editor may end the dialog";
  EXPECT_TRUE(editor->StatusText().startsWith(QStringLiteral("0031: 0x")));

  QTest::keyClick(data, Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(data, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(image.cells[0x30].value, static_cast<std::uint8_t>(0x30 * 7));
  EXPECT_EQ(image.cells[0x3F].value, sum);
}

TEST_F(EditorDialogTest, CellsAreDrawnInTheirColoursAndTheCaretOnlyWithTheFocus) {
  ASSERT_EQ(editor->Model().CaretAddress(), 0x10);
  EXPECT_EQ(CellBackground(0x10), kHexCaretBackground);
  EXPECT_EQ(CellBackground(0x11), 0xFFFFFFu);
  EXPECT_EQ(CellBackground(0x21), kHexChecksumBackground);
  EXPECT_EQ(CellBackground(0x3F), kHexChecksumBackground) << "the checksum cell";
  EXPECT_FALSE(editor->StatusText().isEmpty());

  dialog->ProgramButton()->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([this] { return !editor->Data()->hasFocus(); }));
  EXPECT_EQ(CellBackground(0x10), 0xFFFFFFu) << "no green cell without the focus";
  EXPECT_TRUE(editor->StatusText().isEmpty());
}

TEST_F(EditorDialogTest, AScrollBarOnlyAboveSixteenRows) {
  EXPECT_TRUE(editor->ScrollBar()->isVisible());
  EXPECT_EQ(editor->ScrollBar()->maximum(), 16);
  EXPECT_EQ(editor->ScrollBar()->pageStep(), 16);
  editor->ScrollBar()->setValue(5);
  EXPECT_EQ(editor->Model().FirstRow(), 5);

  DatasetImage small = Image(0x10, 0x100);
  editor->Bind(&small);
  EXPECT_FALSE(editor->ScrollBar()->isVisible());
}

TEST_F(EditorDialogTest, ProgramAbortAndCancelEndTheDialog) {
  dialog->ProgramButton()->click();
  EXPECT_TRUE(request.program);
  EXPECT_TRUE(request.done);

  EditorRequest aborted;
  aborted.image = &image;
  EolEditorDialog second(aborted, nullptr);
  second.show();
  aborted.abort = true;
  ASSERT_TRUE(QTest::qWaitFor([&aborted] { return aborted.done.load(); }, 5000));
  EXPECT_EQ(second.result(), QDialog::Rejected);
  EXPECT_FALSE(aborted.program);
}

TEST_F(EditorDialogTest, SaveIntoFileWritesTheEditedImageAndStaysOpen) {
  const std::string path =
      testing::TempDir() + "hex_editor_save_" + std::to_string(::getpid()) + ".eol";
  std::remove(path.c_str());
  dialog->SetFileChooser([&path](std::string* chosen) {
    *chosen = path;
    return true;
  });
  QTest::keyClicks(editor->Data(), QStringLiteral("ff"));
  dialog->SaveButton()->click();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(ProgramSettings().writeEol, path);
  DatasetImage back = Image(0x10, 0x200);
  for (auto& cell : back.cells) cell.value = 0;
  EolFileError error;
  ASSERT_TRUE(ReadEolFile(path, &back, &error));
  EXPECT_EQ(back.cells[0x10].value, 0xFF);
}

}  // namespace
}  // namespace heatdiag
