// The Protocol view in the frame: entries from other threads, its commands and messages, the
// measurement log's commands, the dialogs' values and the saved lines.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QSpinBox>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "base/messages.h"
#include "base/protocol.h"
#include "base/settings.h"
#include "gui/frame_fakes.h"
#include "gui/qt_app.h"
#include "shell/gui/commands.h"
#include "shell/gui/frame_window.h"
#include "views/gui/protocol_dialogs.h"
#include "views/gui/protocol_view.h"
#include "views/gui/terminal_window.h"
#include "views/measurement_log.h"

namespace heatdiag {
namespace {

using test::DrainEvents;

class FakeProtocolDialogs final : public ProtocolDialogs {
 public:
  bool ok = true;
  std::string file;
  int interval = 5;
  QString savePath;
  std::vector<std::string> shown;

  bool EditMeasurementFile(QWidget*, Settings& settings) override {
    shown.push_back("155");
    if (!ok) return false;
    settings.protoFile = file;
    settings.protoTime = interval;
    return true;
  }
  bool EditProtocolFile(QWidget*, Settings& settings) override {
    shown.push_back("161");
    if (!ok) return false;
    settings.protViewFile = file;
    return true;
  }
  QString SaveProtocolAs(QWidget*) override { return savePath; }
  void ShowError(QWidget*, const QString& caption, const QString&) override {
    shown.push_back("Error " + caption.toStdString());
  }
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ProtocolViewTest : public testing::Test {
 protected:
  void SetUp() override {
    test::App();
    dir_ = std::filesystem::temp_directory_path() /
           ("protocol_view_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    ProgramSettings() = Settings{};
    ProgramSettings().protViewSequence = 1;
    ProgramSettings().protViewRxTx = 1;
    ProgramSettings().protViewFile = (dir_ / "HDG.LOG").string();
    ProtocolUseSettings(ProgramSettings());
    ProtocolDiscardBuffer();
    frame_ = std::make_unique<FrameWindow>(core_, frameDialogs_);
    RegisterProtocolView(*frame_, dialogs_, log_);
    frame_->resize(900, 700);
    frame_->show();
  }
  void TearDown() override {
    frame_.reset();
    DrainEvents();
    ProtocolDiscardBuffer();
    ProtocolSetOptions(ProtocolOptions{});
    std::filesystem::remove_all(dir_);
  }
  ProtocolView* Open() {
    frame_->OpenView(ViewKind::kProtocol);
    DrainEvents();
    return qobject_cast<ProtocolView*>(frame_->View(ViewKind::kProtocol));
  }
  bool Checked(std::uint32_t id) const {
    return IsCommandChecked(id, frame_->CurrentCommandState());
  }
  static std::vector<std::string> Texts(const TerminalWindow& terminal) {
    std::vector<std::string> texts;
    for (int i = 0; i < terminal.Lines().Count(); ++i) texts.push_back(terminal.Lines().At(i).text);
    return texts;
  }

  std::filesystem::path dir_;
  test::FakeCore core_;
  test::FakeDialogs frameDialogs_;
  FakeProtocolDialogs dialogs_;
  MeasurementLog log_;
  std::unique_ptr<FrameWindow> frame_;
};

TEST_F(ProtocolViewTest, OpenViewShowsEntriesFromOtherThreadsInTheirColours) {
  ProtocolAddTelegram(std::array<std::uint8_t, 1>{0x51}.data(), 1, kProtocolSent);  // closed: lost
  ProtocolView* view = Open();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(frame_->CurrentMenuBar(), FrameMenu::kProtocol);
  std::thread worker([] {
    const std::uint8_t bytes[] = {0xF4, 0x03};
    for (int i = 0; i < 1500; ++i) ProtocolAdd("line " + std::to_string(i), kProtocolMessage);
    ProtocolAddTelegram(bytes, 2, kProtocolSent);
    ProtocolAdd("failed", kProtocolError);
  });
  worker.join();
  DrainEvents();
  const TerminalWindow& terminal = *view->Terminal();
  ASSERT_EQ(terminal.Lines().Count(), 1000);
  EXPECT_EQ(terminal.Lines().At(0).text, "line 502");
  EXPECT_EQ(terminal.Lines().At(998).text, "Tx: F4 03 ");
  EXPECT_EQ(terminal.Lines().At(998).colour, 0x0000FFu);
  EXPECT_EQ(terminal.Lines().At(999).colour, 0xFF0000u);
  // The window follows the end.
  EXPECT_EQ(terminal.Lines().TopLine(), terminal.Lines().MaxTopLine());
}

TEST_F(ProtocolViewTest, ClosingTheViewEndsItsRecord) {
  Open();
  frame_->CloseView(ViewKind::kProtocol);
  DrainEvents();
  EXPECT_FALSE(ProtocolViewExists());
  ProtocolAdd("after", kProtocolMessage);  // nothing to show it; no crash
  DrainEvents();
  ProtocolView* view = Open();
  EXPECT_EQ(view->Terminal()->Lines().Count(), 0);
}

TEST_F(ProtocolViewTest, RecordingStopsStartsAndClears) {
  ProtocolView* view = Open();
  EXPECT_FALSE(Checked(kCmdProtocolRecord));
  ProtocolAdd("one", kProtocolMessage);
  frame_->HandleCommand(kCmdProtocolRecord);  // stop: "one" was already there
  EXPECT_TRUE(Checked(kCmdProtocolRecord));
  ProtocolAdd("dropped", kProtocolMessage);
  DrainEvents();
  frame_->HandleCommand(kCmdProtocolRecord);
  ProtocolAdd("two", kProtocolMessage);
  DrainEvents();
  EXPECT_EQ(Texts(*view->Terminal()), (std::vector<std::string>{"one", "two"}));
  frame_->HandleCommand(kCmdProtocolClear);
  EXPECT_EQ(view->Terminal()->Lines().Count(), 0);
}

TEST_F(ProtocolViewTest, DriverMessagesStartAndStopRecording) {
  ProtocolView* view = Open();
  frame_->HandleFrameMessage(UM_PROTOCOLSTOP, 0, 0);
  EXPECT_TRUE(view->IsStopped());
  frame_->HandleFrameMessage(UM_PROTOCOLSTOP, 0, 0);
  EXPECT_TRUE(view->IsStopped());
  frame_->HandleFrameMessage(UM_PROTOCOLSTART, 0, 0);
  EXPECT_FALSE(view->IsStopped());
  frame_->CloseView(ViewKind::kProtocol);
  DrainEvents();
  frame_->HandleFrameMessage(UM_PROTOCOLSTART, 0, 0);  // no view: nothing
  EXPECT_FALSE(Checked(kCmdProtocolRecord));
}

TEST_F(ProtocolViewTest, FilterCommandsToggleTheirSettings) {
  struct Case {
    std::uint32_t command;
    std::int32_t Settings::*setting;
    bool ProtocolOptions::*option;
  };
  const Case cases[] = {
      {kCmdProtocolStates, &Settings::protViewSequence, &ProtocolOptions::showStates},
      {kCmdProtocolTelegrams, &Settings::protViewRxTx, &ProtocolOptions::showTelegrams}};
  for (const Case& c : cases) {
    EXPECT_TRUE(Checked(c.command));
    frame_->HandleCommand(c.command);
    EXPECT_EQ(ProgramSettings().*c.setting, 0);
    EXPECT_FALSE(ProtocolCurrentOptions().*c.option);
    EXPECT_FALSE(Checked(c.command));
    frame_->HandleCommand(c.command);
    EXPECT_TRUE(ProtocolCurrentOptions().*c.option);
  }
}

TEST_F(ProtocolViewTest, StoringOnAndOffWritesTheFile) {
  const auto file = dir_ / "HDG.LOG";
  EXPECT_FALSE(Checked(kCmdProtocolStore));
  frame_->HandleCommand(kCmdProtocolStore);
  EXPECT_TRUE(Checked(kCmdProtocolStore));
  EXPECT_EQ(ProgramSettings().protViewLog, 1);
  ProtocolAdd("kept", kProtocolMessage);
  EXPECT_FALSE(std::filesystem::exists(file));  // still in the buffer
  frame_->HandleCommand(kCmdProtocolStore);
  EXPECT_EQ(ReadFile(file), "kept\n---\n");
  ProtocolAdd("not kept", kProtocolMessage);
  ProtocolCloseFile();
  EXPECT_EQ(ReadFile(file), "kept\n---\n");
}

TEST_F(ProtocolViewTest, ChoosingTheFileWritesTheBufferFirst) {
  frame_->HandleCommand(kCmdProtocolStore);
  ProtocolAdd("old file", kProtocolMessage);
  dialogs_.file = (dir_ / "NEW.LOG").string();
  frame_->HandleCommand(kCmdProtocolFile);
  EXPECT_EQ(dialogs_.shown, std::vector<std::string>{"161"});
  ProtocolAdd("new file", kProtocolMessage);
  ProtocolFlush();
  EXPECT_EQ(ReadFile(dir_ / "HDG.LOG"), "old file\n");
  EXPECT_EQ(ReadFile(dir_ / "NEW.LOG"), "new file\n");
  EXPECT_EQ(ProgramSettings().protViewFile, dialogs_.file);
}

TEST_F(ProtocolViewTest, MeasurementLogStartsOnlyWithAConfirmedInterval) {
  struct Case {
    bool ok;
    int interval;
    bool running;
  };
  const Case cases[] = {{true, 5, true}, {true, 0, false}, {false, 5, false}};
  for (const Case& c : cases) {
    dialogs_.ok = c.ok;
    dialogs_.interval = c.interval;
    dialogs_.file = (dir_ / "m.log").string();
    ASSERT_TRUE(IsCommandEnabled(kCmdStartMeasurementLog, frame_->CurrentCommandState()));
    frame_->HandleCommand(kCmdStartMeasurementLog);
    EXPECT_EQ(log_.Running(), c.running) << c.ok << " " << c.interval;
    EXPECT_EQ(IsCommandEnabled(kCmdStopMeasurementLog, frame_->CurrentCommandState()), c.running);
    frame_->HandleCommand(kCmdStopMeasurementLog);
    EXPECT_FALSE(log_.Running());
  }
}

TEST(ProtocolDialogs, WriteIntervalShownInTheSpinRange) {
  const std::pair<std::int32_t, int> cases[] = {{0, 10}, {1, 1}, {250, 250}, {5000, 1000}, {-4, 1}};
  for (const auto& [stored, shown] : cases) EXPECT_EQ(ShownWriteInterval(stored), shown);
  test::App();
  ProtocolFileDialog dialog("m.log", true, 0, nullptr);
  EXPECT_EQ(dialog.IntervalField()->value(), 10);
  EXPECT_EQ(dialog.IntervalField()->minimum(), 1);
  EXPECT_EQ(dialog.IntervalField()->maximum(), 1000);
  ProtocolFileDialog file(std::string(300, 'f'), false, 0, nullptr);
  EXPECT_EQ(file.IntervalField(), nullptr);
  EXPECT_EQ(file.FileName().size(), 255u);
}

TEST_F(ProtocolViewTest, LinesAreSelectedCopiedAndSaved) {
  ProtocolView* view = Open();
  for (int i = 0; i < 5; ++i) ProtocolAdd("line " + std::to_string(i), kProtocolMessage);
  DrainEvents();
  TerminalWindow& terminal = *view->Terminal();
  terminal.SelectLines(1, 2);
  EXPECT_EQ(terminal.SelectedText(), QStringLiteral("line 1\nline 2\n"));
  terminal.CopySelection();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("line 1\nline 2\n"));
  const auto saved = dir_ / "saved.txt";
  ASSERT_TRUE(SaveProtocolLines(terminal, QString::fromStdString(saved.string())));
  EXPECT_EQ(ReadFile(saved), "line 0\nline 1\nline 2\nline 3\nline 4\n");
  EXPECT_FALSE(
      SaveProtocolLines(terminal, QString::fromStdString((dir_ / "no/such.txt").string())));
}

TEST_F(ProtocolViewTest, TimeStampsAreShownInTheViewOnly) {
  ProtocolView* view = Open();
  frame_->HandleCommand(kCmdProtocolStore);
  ProtocolMarkStart();
  const std::uint8_t bytes[] = {0x51};
  ProtocolAddTelegram(bytes, 1, kProtocolSent);
  ProtocolAddTelegram(bytes, 1, kProtocolReceived);
  DrainEvents();
  TerminalWindow& terminal = *view->Terminal();
  EXPECT_EQ(terminal.DisplayText(0), QStringLiteral("Tx: 51 "));
  terminal.SetShowTimeStamps(true);
  EXPECT_TRUE(terminal.DisplayText(0).endsWith(QStringLiteral(" Tx: 51 ")));
  EXPECT_TRUE(terminal.DisplayText(1).contains(QStringLiteral("Rx: 51  (+")));
  ProtocolFlush();
  EXPECT_EQ(ReadFile(dir_ / "HDG.LOG"), "Tx: 51 \nRx: 51 \n");
}

}  // namespace
}  // namespace heatdiag
