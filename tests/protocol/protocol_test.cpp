// The protocol record: what reaches the file and what the view, from one thread and from many.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/protocol.h"
#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"

namespace heatdiag {
namespace {

struct Shown {
  int kind;
  std::string text;
  ProtocolStamp stamp;
};

class RecordingView : public ProtocolSink {
 public:
  void Add(std::string_view text, int kind) override { AddStamped(text, kind, {}); }
  void AddStamped(std::string_view text, int kind, const ProtocolStamp& stamp) override {
    std::lock_guard lock(mutex_);
    lines_.push_back({kind, std::string(text), stamp});
  }
  void ShowStatus(std::string_view text) override {
    std::lock_guard lock(mutex_);
    status_.emplace_back(text);
  }
  std::vector<Shown> Lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Shown& line : Lines()) texts.push_back(line.text);
    return texts;
  }
  std::vector<std::string> Status() const {
    std::lock_guard lock(mutex_);
    return status_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<Shown> lines_;
  std::vector<std::string> status_;
};

std::atomic<std::int64_t> g_nowMs{0};
std::int64_t TestClock() {
  return g_nowMs.load();
}

constexpr std::uint32_t kDiagnosisStartedId = 21014;  // "Diagnosis started"

class ProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("protocol_test_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    ProtocolDiscardBuffer();
    g_nowMs = 1000;
    SetProtocolClock(&TestClock);
    ProtocolMarkStart();
    ProtocolResetStateTimer();
    Configure(true, true, true);
  }
  void TearDown() override {
    SetProtocolSink(nullptr);
    ProtocolDiscardBuffer();
    SetProtocolClock(nullptr);
    ProtocolSetOptions(ProtocolOptions{});
    std::filesystem::remove_all(dir_);
  }

  void Configure(bool store, bool states, bool telegrams, const std::string& name = "HDG.LOG") {
    ProtocolOptions options;
    options.store = store;
    options.showStates = states;
    options.showTelegrams = telegrams;
    options.file = (dir_ / name).string();
    ProtocolSetOptions(options);
  }
  std::string FileText(const std::string& name = "HDG.LOG") const {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path dir_;
  RecordingView view_;
};

const std::uint8_t kTelegram[] = {0xF4, 0x03, 0x51, 0x0A, 0xAC};

TEST_F(ProtocolTest, ClosedViewStoresOnlyPlainTextsAndStateChanges) {
  const StateNameTable table = DriverStateTable(0);
  ASSERT_FALSE(table.empty());
  ProtocolAdd("plain", kProtocolMessage);
  ProtocolAddById(kDiagnosisStartedId, kProtocolMessage);
  ProtocolAddTelegram(kTelegram, sizeof kTelegram, kProtocolSent);
  g_nowMs += 2600;
  ProtocolStateChange(table, table[0].code, 0, table[1].code, 0);
  ProtocolCloseFile();
  const std::string change = StateShortText(table, table[0].code, 0) + " -> " +
                             StateShortText(table, table[1].code, 0) + " (3s)";
  EXPECT_EQ(FileText(), "plain\n" + change + "\n---\n");
}

TEST_F(ProtocolTest, OpenViewShowsAndStoresEveryKind) {
  SetProtocolSink(&view_);
  ASSERT_NE(FindString(kDiagnosisStartedId), nullptr);
  ProtocolAddById(kDiagnosisStartedId, kProtocolMessage);
  ProtocolAddTelegram(kTelegram, sizeof kTelegram, kProtocolSent);
  g_nowMs += 120;
  ProtocolAddTelegram(kTelegram, 3, kProtocolReceived);
  ProtocolAddTelegram(kTelegram, 0, kProtocolReceived);  // nothing
  ProtocolAdd("failed", kProtocolError);
  const std::string started = LoadString(kDiagnosisStartedId);
  const std::vector<std::string> expected = {started, "Tx: F4 03 51 0A AC ", "Rx: F4 03 51 ",
                                             "failed"};
  EXPECT_EQ(view_.Texts(), expected);
  EXPECT_EQ(view_.Status(), std::vector<std::string>{started});
  const auto lines = view_.Lines();
  EXPECT_EQ(lines[1].stamp.elapsedMs, 0);
  EXPECT_FALSE(lines[1].stamp.replyMs.has_value());
  EXPECT_EQ(lines[2].stamp.elapsedMs, 120);
  EXPECT_EQ(lines[2].stamp.replyMs, 120);
  ProtocolFlush();
  EXPECT_EQ(FileText(), started + "\nTx: F4 03 51 0A AC \nRx: F4 03 51 \nfailed\n");
}

TEST_F(ProtocolTest, FiltersDecideTheViewAndTelegramsAlsoTheFile) {
  struct Case {
    bool states;
    bool telegrams;
    std::vector<std::string> shown;
    std::string stored;
  };
  const StateNameTable table = DriverStateTable(0);
  const std::string change = StateShortText(table, table[0].code, 0) + " -> " +
                             StateShortText(table, table[1].code, 0) + " (0s)";
  const Case cases[] = {
      {true, true, {"Tx: 51 ", change}, "Tx: 51 \n" + change + "\n"},
      {false, true, {"Tx: 51 "}, "Tx: 51 \n" + change + "\n"},
      {true, false, {change}, change + "\n"},
      {false, false, {}, change + "\n"},
  };
  for (const Case& c : cases) {
    RecordingView view;
    SetProtocolSink(&view);
    Configure(true, c.states, c.telegrams, "case.log");
    std::filesystem::remove(dir_ / "case.log");
    const std::uint8_t command = 0x51;
    ProtocolAddTelegram(&command, 1, kProtocolSent);
    ProtocolStateChange(table, table[0].code, 0, table[1].code, 0);
    ProtocolStateChange(table, table[1].code, 0, table[1].code, 0);  // the same state: nothing
    ProtocolFlush();
    SetProtocolSink(nullptr);
    EXPECT_EQ(view.Texts(), c.shown) << c.states << c.telegrams;
    EXPECT_EQ(FileText("case.log"), c.stored) << c.states << c.telegrams;
  }
}

TEST_F(ProtocolTest, StateChangeSecondsAreRoundedFromThePreviousChange) {
  SetProtocolSink(&view_);
  const StateNameTable table = DriverStateTable(0);
  const std::uint8_t a = table[0].code;
  const std::uint8_t b = table[1].code;
  g_nowMs += 1499;
  ProtocolStateChange(table, a, 0, b, 0);
  g_nowMs += 1500;
  ProtocolStateChange(table, b, 0, a, 0);
  g_nowMs += 400;
  ProtocolResetStateTimer();
  g_nowMs += 499;
  ProtocolStateChange(table, a, 0, b, 0);
  const auto texts = view_.Texts();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_TRUE(texts[0].ends_with(" (1s)")) << texts[0];
  EXPECT_TRUE(texts[1].ends_with(" (2s)")) << texts[1];
  EXPECT_TRUE(texts[2].ends_with(" (0s)")) << texts[2];
  for (const Shown& line : view_.Lines()) EXPECT_EQ(line.kind, kProtocolStateChange);
}

TEST_F(ProtocolTest, ByIdTextIsCutAtItsFirstLineBreak) {
  SetProtocolSink(&view_);
  // A command hint: "hint\ntooltip".
  ProtocolAddById(32796, kProtocolError);
  ProtocolAddById(32796, kProtocolStateChange);  // not a message: no status text
  EXPECT_EQ(view_.Texts(),
            (std::vector<std::string>{"Show protocol window", "Show protocol window"}));
  EXPECT_EQ(view_.Status(), std::vector<std::string>{"Show protocol window"});
}

TEST_F(ProtocolTest, BufferIsWrittenOnceItPassesHalfItsSize) {
  const std::string line(99, 'x');  // 100 bytes with its line feed
  for (int i = 0; i < 163; ++i) ProtocolAdd(line, kProtocolMessage);
  EXPECT_EQ(ProtocolPendingBytes(), 16300u);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "HDG.LOG"));
  ProtocolAdd(line, kProtocolMessage);
  EXPECT_EQ(ProtocolPendingBytes(), 0u);
  EXPECT_EQ(FileText().size(), 16400u);
}

TEST_F(ProtocolTest, EntryThatWouldOverflowTheBufferIsDroppedFromTheFile) {
  // The file cannot be opened: the buffer keeps everything as long as it has room.
  Configure(true, true, true, "missing/HDG.LOG");
  for (int i = 0; i < 330; ++i)
    ProtocolAdd(std::string(97, 'y') + std::to_string(100 + i), kProtocolMessage);
  // 324 entries of 101 bytes fit below 32768 with room for a line feed and a zero.
  EXPECT_EQ(ProtocolPendingBytes(), 324u * 101u);
  ProtocolAdd("z", kProtocolMessage);  // a short entry still fits
  EXPECT_EQ(ProtocolPendingBytes(), 324u * 101u + 2u);
  Configure(true, true, true);
  ProtocolFlush();
  std::istringstream file(FileText());
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 325u);
  EXPECT_EQ(lines[323], std::string(97, 'y') + "423");
  EXPECT_EQ(lines[324], "z");
  EXPECT_EQ(ProtocolPendingBytes(), 0u);
}

TEST_F(ProtocolTest, StoringOffClosesTheFileAndStoresNothing) {
  ProtocolAdd("one", kProtocolMessage);
  Configure(false, true, true);
  ProtocolAdd("two", kProtocolMessage);  // closes the file: "---"
  ProtocolAdd("three", kProtocolMessage);
  ProtocolCloseFile();  // an empty buffer: no second "---"
  EXPECT_EQ(FileText(), "one\n---\n");
}

TEST_F(ProtocolTest, EachRunEndsWithOneCloseLineEvenAfterAFlush) {
  ProtocolAdd("Diagnosis finished", kProtocolMessage);
  ProtocolFlush();  // as a finished diagnosis does
  ProtocolCloseFile();
  ProtocolCloseFile();
  EXPECT_EQ(FileText(), "Diagnosis finished\n---\n");
}

// Many threads add at once, with the buffer written out again and again: every line of the file
// is one whole entry.
TEST_F(ProtocolTest, FileNeverHoldsATornLineWhenThreadsAddAtOnce) {
  SetProtocolSink(&view_);
  constexpr int kThreads = 6;
  constexpr int kLines = 3000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) {
        // Lengths vary so that the flushes fall at different places in the lines.
        const std::string text =
            "T" + std::to_string(t) + ":" + std::to_string(i) + ":" +
            std::string(static_cast<std::size_t>((i * 7 + t) % 90), static_cast<char>('a' + t));
        if (i % 3 == 0) {
          const std::uint8_t bytes[] = {static_cast<std::uint8_t>(t), 0xAA};
          ProtocolAddTelegram(bytes, sizeof bytes, kProtocolSent);
        } else {
          ProtocolAdd(text, kProtocolMessage);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  ProtocolCloseFile();
  std::istringstream file(FileText());
  std::vector<int> seen(kThreads, 0);
  std::string line;
  int telegrams = 0;
  int lines = 0;
  while (std::getline(file, line)) {
    ++lines;
    if (line == "---") continue;
    if (line.starts_with("Tx: ")) {
      ASSERT_EQ(line.size(), 10u) << line;
      ++telegrams;
      continue;
    }
    int t = -1;
    int i = -1;
    char tail[128] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "T%d:%d:%127s", &t, &i, tail) >= 2, true) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    const std::string expected =
        "T" + std::to_string(t) + ":" + std::to_string(i) + ":" +
        std::string(static_cast<std::size_t>((i * 7 + t) % 90), static_cast<char>('a' + t));
    ASSERT_EQ(line, expected);
    ++seen[static_cast<std::size_t>(t)];
  }
  EXPECT_EQ(telegrams, kThreads * kLines / 3);
  for (int count : seen) EXPECT_EQ(count, kLines - kLines / 3);
  EXPECT_EQ(lines, kThreads * kLines + 1);
  EXPECT_EQ(view_.Lines().size(), static_cast<std::size_t>(kThreads * kLines));
}

}  // namespace
}  // namespace heatdiag
