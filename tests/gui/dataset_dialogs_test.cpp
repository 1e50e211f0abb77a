#include "dataset/gui/dataset_dialogs.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "base/settings.h"
#include "dataset/addresses.h"
#include "dataset/dataset_worker.h"
#include "gui/qt_app.h"

namespace heatdiag {
namespace {

using test::DrainEvents;

// Records the warnings a dialog would show in a message box.
struct Warnings {
  std::vector<QString> texts;
  WarningBox Box() {
    return [this](QWidget*, const QString&, const QString& text) { texts.push_back(text); };
  }
};

class DatasetDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    test::App();
    ProgramSettings() = Settings{};
  }
  void TearDown() override { DrainEvents(); }
  Warnings warnings;
};

TEST_F(DatasetDialogTest, BlockRateIsStoredOnlyWhenValid) {
  ProgramSettings().hbusBlockBaud = 4800;
  BlockBaudDialog dialog(nullptr, warnings.Box());
  EXPECT_EQ(dialog.Field()->text(), QStringLiteral("4800"));
  for (const char* refused : {"9601", "2100", "38700"}) {
    dialog.Field()->setText(QString::fromLatin1(refused));
    dialog.PressOk();
    EXPECT_EQ(ProgramSettings().hbusBlockBaud, 4800) << refused;
  }
  EXPECT_EQ(warnings.texts.size(), 3u);
  EXPECT_EQ(warnings.texts.front(), QStringLiteral("Invalid baud rate!"));
  dialog.Field()->setText(QStringLiteral("9600"));
  dialog.PressOk();
  EXPECT_EQ(ProgramSettings().hbusBlockBaud, 9600);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(DatasetDialogTest, AddressesAreCheckedBeforeTheLayoutIsTaken) {
  DatasetImage image;
  image.start = 0x10;
  image.size = 0x100;
  image.cells.assign(0x100, DatasetCell{});
  AddressRequest request;
  request.image = &image;
  AddressesDialog dialog(request, nullptr, warnings.Box());
  EXPECT_EQ(dialog.Field(0)->text(), QStringLiteral("10"));
  EXPECT_EQ(dialog.Field(1)->text(), QStringLiteral("256"));

  dialog.Field(2)->setText(QStringLiteral("40"));
  dialog.Field(3)->setText(QStringLiteral("20"));  // ends before it starts
  dialog.Field(4)->setText(QStringLiteral("50"));
  dialog.PressOk();
  ASSERT_EQ(warnings.texts.size(), 1u);
  EXPECT_TRUE(warnings.texts[0].contains(QStringLiteral("Checksum area is not plausible")));
  EXPECT_FALSE(request.done);

  dialog.Field(3)->setText(QStringLiteral("4F"));
  dialog.PressOk();
  EXPECT_TRUE(request.done);
  ASSERT_TRUE(image.HasAreas());
  EXPECT_EQ(image.areas[0], (ChecksumArea{0x40, 0x4F, 0x50, SUM8}));
  EXPECT_EQ(ProgramSettings().eepromStart, 0x10);
}

TEST_F(DatasetDialogTest, AddressesDialogEndsWhenTheWorkerAborts) {
  DatasetImage image;
  AddressRequest request;
  request.image = &image;
  AddressesDialog dialog(request, nullptr, warnings.Box());
  dialog.show();
  request.abort = true;
  ASSERT_TRUE(QTest::qWaitFor([&request] { return request.done.load(); }, 5000));
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(image.HasAreas());
}

class CellDialogTest : public DatasetDialogTest {
 protected:
  void SetUp() override {
    DatasetDialogTest::SetUp();
    request.Clear();
    request.start = 0x10;
    request.size = 0x200;
    dialog = std::make_unique<EolCellDialog>(request);
    dialog->show();
  }
  void TearDown() override {
    dialog.reset();
    DatasetDialogTest::TearDown();
  }
  QString F(int row, int column) { return dialog->Field(row, column)->text(); }
  // Types into a field as a user does who first selects what it shows ("?").
  void Type(int row, int column, const QString& text) {
    dialog->Field(row, column)->clear();
    QTest::keyClicks(dialog->Field(row, column), text);
  }
  CellRequest request;
  std::unique_ptr<EolCellDialog> dialog;
};

TEST_F(CellDialogTest, TypingFillsTheOtherFieldsOfTheRow) {
  EXPECT_EQ(F(0, 0), QStringLiteral("?"));
  EXPECT_TRUE(F(2, 0).isEmpty()) << "no new value entered yet";
  Type(0, 1, QStringLiteral("419"));
  EXPECT_EQ(request.address.load(), 419);
  EXPECT_EQ(F(0, 0), QStringLiteral("1A3"));
  EXPECT_EQ(F(0, 2), QStringLiteral("0000000110100011"));
  EXPECT_EQ(F(0, 1), QStringLiteral("419")) << "the field being typed in is left alone";

  Type(0, 0, QStringLiteral("f"));
  EXPECT_EQ(F(0, 1), QStringLiteral("?")) << "below start";
  Type(0, 0, QStringLiteral("x"));
  EXPECT_EQ(request.address.load(), CellRequest::kInvalidAddress);

  Type(2, 2, QStringLiteral("101"));
  EXPECT_EQ(request.newValue.load(), 5);
  EXPECT_TRUE(request.newValueEntered);
  EXPECT_EQ(F(2, 0), QStringLiteral("05"));
}

TEST_F(CellDialogTest, WriteNeedsAValidAddressAndAnEnteredByte) {
  EXPECT_FALSE(dialog->WriteButton()->isEnabled());
  EXPECT_TRUE(dialog->ReadButton()->isEnabled());
  Type(0, 0, QStringLiteral("20"));
  EXPECT_FALSE(dialog->WriteButton()->isEnabled());
  Type(2, 0, QStringLiteral("100"));
  EXPECT_FALSE(dialog->WriteButton()->isEnabled()) << "above 255";
  EXPECT_EQ(F(2, 1), QStringLiteral("?"));
  Type(2, 0, QStringLiteral("7f"));
  ASSERT_TRUE(dialog->WriteButton()->isEnabled());
  dialog->WriteButton()->click();
  EXPECT_TRUE(request.writeRequest);
  EXPECT_FALSE(request.newValueEntered);
  EXPECT_TRUE(F(1, 0).isEmpty()) << "the current value waits for the read-back";

  request.currentValue = 0x7F;
  request.refresh = true;
  dialog->Tick();
  EXPECT_EQ(F(1, 0), QStringLiteral("7F"));
  EXPECT_EQ(F(1, 2), QStringLiteral("01111111"));
}

TEST_F(CellDialogTest, AbortClosesTheDialogAndClosingIsReported) {
  request.abort = true;
  dialog->Tick();
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_TRUE(request.closed);
}

TEST_F(DatasetDialogTest, TransferDialogFollowsTheProgressAndClosesWhenFinished) {
  TransferProgress progress;
  progress.first = 0x10;
  progress.last = 0x200;
  progress.current = 0x80;
  progress.finished = 0;
  TransferDialog dialog(progress);
  dialog.show();
  EXPECT_EQ(dialog.Bar()->minimum(), 0x10);
  EXPECT_EQ(dialog.Bar()->maximum(), 0x200);
  EXPECT_EQ(dialog.Bar()->value(), 0x80);
  progress.finished = 1;
  ASSERT_TRUE(QTest::qWaitFor([&dialog] { return !dialog.isVisible(); }, 5000));
}

}  // namespace
}  // namespace heatdiag
