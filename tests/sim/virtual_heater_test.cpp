// The virtual heater driven as the tester drives it: through the terminal side of the
// pseudo-terminal, with plain reads and writes.
#include "virtual_heater.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "sim_test_support.h"

namespace heatsim {
namespace {

using std::chrono::milliseconds;
using testing::BlockFrame;
using testing::Hex;
using testing::ManualClock;
using testing::Request;
using Clock = std::chrono::steady_clock;

// Long enough for a loaded machine running sanitizers; a passing test never waits for it.
constexpr milliseconds kPatience{3000};
// How long a silence must last to count as "no answer": the heater answers in 20 ms.
constexpr milliseconds kQuiet{250};

class VirtualHeaterPty : public ::testing::Test {
 protected:
  void TearDown() override {
    if (fd_ >= 0) close(fd_);
  }

  void Start(VirtualHeaterOptions options = {}) {
    std::string error;
    heater_ = VirtualHeater::Start(options, &error);
    ASSERT_TRUE(heater_) << error;
    Open();
  }

  void Open() {
    fd_ = open(heater_->PtyPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd_, 0) << heater_->PtyPath();
    // The tester's line settings: raw, 8E1.
    termios t{};
    ASSERT_EQ(tcgetattr(fd_, &t), 0);
    cfmakeraw(&t);
    t.c_cflag |= PARENB;
    cfsetispeed(&t, B2400);
    cfsetospeed(&t, B2400);
    ASSERT_EQ(tcsetattr(fd_, TCSANOW, &t), 0) << std::strerror(errno);
  }

  // Opens the terminal again once the heater takes the settings, within `patience`.
  bool Reopen(milliseconds patience) {
    const auto end = Clock::now() + patience;
    for (;;) {
      fd_ = open(heater_->PtyPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      if (fd_ < 0) return false;
      termios t{};
      if (tcgetattr(fd_, &t) != 0) return false;
      cfmakeraw(&t);
      t.c_cflag |= PARENB;
      cfsetispeed(&t, B2400);
      cfsetospeed(&t, B2400);
      if (tcsetattr(fd_, TCSANOW, &t) == 0) return true;
      close(fd_);
      fd_ = -1;
      if (Clock::now() > end) return false;
      std::this_thread::sleep_for(milliseconds(20));  // polling, not waiting for a time to pass
    }
  }

  void Send(const Bytes& bytes) {
    ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Reads until `count` bytes have come or `patience` has passed.
  Bytes Read(std::size_t count, milliseconds patience = kPatience) {
    Bytes got;
    const auto end = Clock::now() + patience;
    while (got.size() < count) {
      const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
      if (left <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
      std::uint8_t buffer[256];
      const ssize_t n = read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) {
        readError_ = n < 0 ? errno : 0;
        hungUp_ = true;
        break;
      }
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  bool Silent(milliseconds period = kQuiet) { return Read(1, period).empty(); }

  Bytes Exchange(const Bytes& request, std::size_t replyLength) {
    Send(request);
    return Read(request.size() + replyLength);
  }

  std::unique_ptr<VirtualHeater> heater_;
  int fd_ = -1;
  bool hungUp_ = false;
  int readError_ = 0;
};

const Bytes kVersionRequest = {0xF4, 0x03, 0x51, 0x0A, 0xAC};
const char* const kVersionExchange = "F4 03 51 0A AC 4F 04 D1 0A 32 A2";

TEST_F(VirtualHeaterPty, EchoesThenAnswers) {
  Start();
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
  EXPECT_TRUE(Silent());
  const VirtualHeaterCounters c = heater_->Counters();
  EXPECT_EQ(c.bytesReceived, 5u);
  EXPECT_EQ(c.telegramsReceived, 1u);
  EXPECT_EQ(c.repliesSent, 1u);
  EXPECT_EQ(c.naksSent, 0u);
}

TEST_F(VirtualHeaterPty, OnlyWellFormedRequestsForTheUnitAreAnswered) {
  Start();
  const struct {
    Bytes bytes;
    const char* why;
  } ignored[] = {
      {Request({0x51, 0x0A}, 0xF5), "addressed to another bus member"},
      {{0xF4, 0x03, 0x51, 0x0A, 0xAD}, "checksum"},
      {{0xF4, 0x01, 0x51}, "length below 2"},
      {{0xF4, 0x10, 0x51, 0x0A}, "cut short"},
  };
  std::uint64_t dropped = 0;
  for (const auto& c : ignored) {
    Send(c.bytes);
    EXPECT_EQ(Hex(Read(c.bytes.size())), Hex(c.bytes)) << c.why;  // the adapter echoes anyway
    EXPECT_TRUE(Silent()) << c.why;
    EXPECT_GT(heater_->Counters().framesDropped, dropped) << c.why;
    dropped = heater_->Counters().framesDropped;
    // After the pause the tester keeps before a request, the unit listens again.
    EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange) << c.why;
  }
}

TEST_F(VirtualHeaterPty, TheTesterMayCloseAndReopenThePort) {
  Start();
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
  close(fd_);
  fd_ = -1;
  // The same 8E1 settings again, which must be taken (at once or once the line is idle).
  ASSERT_TRUE(Reopen(5 * kPatience)) << std::strerror(errno);
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
}

// One injected fault each, on the version request.
struct FaultCase {
  const char* name;
  FaultRule rule;
  bool echoIntact;
  enum { kNone, kNormal, kBadChecksum, kNak } reply;
  int extraBytes;
};

class InjectedFault : public VirtualHeaterPty, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(InjectedFault, ShowsOnTheWire) {
  const FaultCase& c = GetParam();
  VirtualHeaterOptions options;
  options.faults = {c.rule};
  Start(options);
  Send(kVersionRequest);
  const Bytes echo = Read(5);
  ASSERT_EQ(echo.size(), 5u);
  if (c.echoIntact) {
    EXPECT_EQ(echo, kVersionRequest);
  } else {
    // A well-formed telegram that is not the request: the tester's "wrong echo".
    EXPECT_NE(echo, kVersionRequest);
    EXPECT_EQ(echo[0], 0xF4);
    EXPECT_EQ(echo[1], 0x03);
    EXPECT_EQ(Xor(echo), 0);
  }
  switch (c.reply) {
    case FaultCase::kNone:
      break;
    case FaultCase::kNormal:
      EXPECT_EQ(Hex(Read(6)), "4F 04 D1 0A 32 A2");
      break;
    case FaultCase::kBadChecksum: {
      const Bytes reply = Read(6);
      ASSERT_EQ(reply.size(), 6u);
      EXPECT_EQ(Hex(Bytes(reply.begin(), reply.end() - 1)), "4F 04 D1 0A 32");
      EXPECT_NE(Xor(reply), 0);
      break;
    }
    case FaultCase::kNak:
      EXPECT_EQ(Hex(Read(5)), "4F 03 7F 22 11");
      break;
  }
  EXPECT_EQ(Read(static_cast<std::size_t>(c.extraBytes)).size(),
            static_cast<std::size_t>(c.extraBytes));
  EXPECT_TRUE(Silent());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, InjectedFault,
    ::testing::Values(
        FaultCase{"no_reply", {FaultKind::kNoReply}, true, FaultCase::kNone, 0},
        FaultCase{"wrong_echo", {FaultKind::kWrongEcho}, false, FaultCase::kNone, 0},
        FaultCase{"bad_checksum", {FaultKind::kBadChecksum}, true, FaultCase::kBadChecksum, 0},
        FaultCase{"nak", {FaultKind::kNak, 0x51, 0x0A, -1, 0, 0x22}, true, FaultCase::kNak, 0},
        FaultCase{"nak_other_index",
                  {FaultKind::kNak, 0x51, 0x0B, -1, 0, 0x22},
                  true,
                  FaultCase::kNormal,
                  0},
        FaultCase{"nak_other_command",
                  {FaultKind::kNak, 0x57, -1, -1, 0, 0x22},
                  true,
                  FaultCase::kNormal,
                  0},
        FaultCase{"garbage", {FaultKind::kGarbage, -1, -1, -1, 0, 7}, true, FaultCase::kNormal, 7},
        FaultCase{"not_yet", {FaultKind::kNoReply, -1, -1, -1, 1, 0}, true, FaultCase::kNormal, 0}),
    [](const ::testing::TestParamInfo<FaultCase>& p) { return std::string(p.param.name); });

TEST_F(VirtualHeaterPty, LateReplyComesAfterItsDelay) {
  VirtualHeaterOptions options;
  options.faults = {{FaultKind::kLateReply, -1, -1, 1, 0, 600}};
  Start(options);
  Send(kVersionRequest);
  EXPECT_EQ(Read(5), kVersionRequest);
  const auto echoed = Clock::now();
  EXPECT_EQ(Hex(Read(6)), "4F 04 D1 0A 32 A2");
  EXPECT_GE(Clock::now() - echoed, milliseconds(400));
  // Only once.
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
}

TEST_F(VirtualHeaterPty, FaultsActOnlyOnTheirCount) {
  VirtualHeaterOptions options;
  options.faults = {{FaultKind::kNak, -1, -1, 1, 1, 0x21}};
  Start(options);
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 5)), "F4 03 51 0A AC 4F 03 7F 21 12");
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
  EXPECT_EQ(heater_->Counters().naksSent, 1u);
  // Injected at run time, counted from now.
  heater_->InjectFault({FaultKind::kNoReply, -1, -1, -1, 1, 0});
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
  Send(kVersionRequest);
  EXPECT_EQ(Read(5), kVersionRequest);
  EXPECT_TRUE(Silent());
  heater_->ClearFaults();
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
}

TEST_F(VirtualHeaterPty, PoweredOffUnitIsSilentBehindTheAdapter) {
  VirtualHeaterOptions options;
  options.faults = {{FaultKind::kPowerOff, -1, -1, 1, 2, 0}};
  Start(options);
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
  for (int i = 0; i < 3; ++i) {
    Send(kVersionRequest);
    EXPECT_EQ(Read(5), kVersionRequest);  // the adapter still echoes
    EXPECT_TRUE(Silent());
  }
  heater_->ClearFaults();  // powered again
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
}

TEST_F(VirtualHeaterPty, UnpluggedAdapterClosesTheTerminal) {
  VirtualHeaterOptions options;
  options.faults = {{FaultKind::kUnplug, -1, -1, 1, 1, 0}};
  Start(options);
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
  EXPECT_FALSE(heater_->Unplugged());
  Send(kVersionRequest);
  EXPECT_TRUE(Read(1).empty());
  EXPECT_TRUE(hungUp_);
  EXPECT_TRUE(heater_->Unplugged());
  heater_->Stop();
  heater_->Stop();
}

// Block mode through the terminal, with the frames of each protocol generation.
struct BlockCase {
  const char* scenario;
  Bytes enter;       // the switch request
  std::size_t cell;  // a cell on the page the switch selected
  bool withCommand;  // replies repeat the frame's command byte (from 3.0)
  Bytes end;         // the end frame the tester sends
};

TEST_F(VirtualHeaterPty, BlockModeReadsAndWritesCells) {
  const BlockCase cases[] = {
      {"v3.2", Request({0x34, 0x20, 0x01}), 0x134, true, BlockFrame({0x09})},
      {"v3.1", Request({0x34, 0x20, 0x00}), 0x034, true, BlockFrame({0x09, 0x09})},
      {"v1.5", Request({0x34, 0x96, 0x01}), 0x134, false, BlockFrame({0x09})},
  };
  for (const BlockCase& c : cases) {
    SCOPED_TRACE(c.scenario);
    VirtualHeaterOptions options;
    options.scenario = c.scenario;
    Start(options);
    const Bytes entered = Exchange(c.enter, 5);
    ASSERT_EQ(entered.size(), c.enter.size() + 5);
    EXPECT_EQ(entered[c.enter.size() + 2], 0xB4);

    const auto low = static_cast<std::uint8_t>(c.cell & 0xFF);
    const std::uint8_t held = heater_->Eeprom()[c.cell];
    const Bytes read = BlockFrame({0x03, low});
    const Bytes readReply = c.withCommand ? BlockFrame({0x03, low, held}) : BlockFrame({low, held});
    EXPECT_EQ(Hex(Exchange(read, readReply.size())), Hex(read) + " " + Hex(readReply));

    const auto value = static_cast<std::uint8_t>(held ^ 0x5A);
    const Bytes write = BlockFrame({0x04, low, value});
    const Bytes writeReply =
        c.withCommand ? BlockFrame({0x04, low, value}) : BlockFrame({low, value});
    EXPECT_EQ(Hex(Exchange(write, writeReply.size())), Hex(write) + " " + Hex(writeReply));
    EXPECT_EQ(heater_->Eeprom()[c.cell], value);

    EXPECT_EQ(Hex(Exchange(c.end, 3)), Hex(c.end) + " 09 09 00");
    // Back on the H-Bus.
    const Bytes version = Exchange(kVersionRequest, 6);
    ASSERT_EQ(version.size(), 11u);
    EXPECT_EQ(version[7], 0xD1);
    EXPECT_EQ(heater_->Counters().blockFramesReceived, 3u);
    heater_->Stop();
    close(fd_);
    fd_ = -1;
  }
}

// The heater's log lines, for tests that wait for one of its events. The lines live as long as
// the heater's sink holds them, which may be longer than the test body.
class LogWatch {
 public:
  std::function<void(std::string_view)> Sink() {
    return [state = state_](std::string_view line) {
      std::lock_guard lock(state->mutex);
      state->lines.emplace_back(line);
      state->changed.notify_all();
    };
  }
  bool WaitFor(std::string_view part, milliseconds patience) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, patience, [&] {
      for (const std::string& line : state_->lines) {
        if (line.find(part) != std::string::npos) return true;
      }
      return false;
    });
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

TEST_F(VirtualHeaterPty, PageSelectionFromThreePointTwo) {
  LogWatch log;
  VirtualHeaterOptions options;
  options.log = log.Sink();
  Start(options);
  Exchange(Request({0x34, 0x20, 0x00}), 5);
  EXPECT_EQ(Hex(Exchange(BlockFrame({0x05, 0x03}), 3)), "05 03 06 05 03 06");
  const std::uint8_t held = heater_->Eeprom()[0x3FF];
  EXPECT_EQ(Hex(Exchange(BlockFrame({0x03, 0xFF}), 4)),
            "03 FF FC " + Hex(BlockFrame({0x03, 0xFF, held})));
  // A page the EEPROM does not have is not answered.
  Send(BlockFrame({0x05, 0x04}));
  EXPECT_EQ(Read(3).size(), 3u);
  EXPECT_TRUE(Silent());
  // A tester that lost the link never sends the end frame; once the line has been quiet the
  // unit listens for H-Bus telegrams again.
  ASSERT_TRUE(log.WaitFor("block mode ended", 5 * kPatience));
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
}

TEST_F(VirtualHeaterPty, LineRatePacesEveryByte) {
  VirtualHeaterOptions options;
  options.lineRate = true;
  options.latencyMs = 0;
  Start(options);
  const auto sent = Clock::now();
  EXPECT_EQ(Hex(Exchange(kVersionRequest, 6)), kVersionExchange);
  // Eleven characters of 11 bits at 2400 baud take 50 ms at the least.
  EXPECT_GE(Clock::now() - sent, milliseconds(45));
}

TEST_F(VirtualHeaterPty, ModeCommandsDriveTheModel) {
  ManualClock clock;
  VirtualHeaterOptions options;
  options.clock = clock.Function();
  Start(options);
  EXPECT_EQ(Hex(Exchange(Request({0x21, 0x3C}), 5)), "F4 03 21 3C EA 4F 03 A1 3C D1");
  EXPECT_EQ(heater_->OperatingMode(), 0x21);
  EXPECT_EQ(heater_->StateCode(), 0x08);
  clock.Advance(std::chrono::seconds(25));  // no keep-alive
  EXPECT_EQ(heater_->OperatingMode(), 0);
  EXPECT_EQ(heater_->StateCode(), 0x45);
  EXPECT_EQ(heater_->StoredFaultCount(), 2u);
  Exchange(Request({0x56, 0x03}), 5);
  EXPECT_EQ(heater_->StoredFaultCount(), 0u);
}

TEST(VirtualHeaterStart, BadScenarioIsRefusedWithItsReason) {
  std::string error;
  VirtualHeaterOptions options;
  options.scenario = "/nonexistent/unit.json";
  EXPECT_EQ(VirtualHeater::Start(options, &error), nullptr);
  EXPECT_NE(error.find("/nonexistent/unit.json"), std::string::npos) << error;

  options.scenario = "v3.0";
  options.scenarioJson = R"({"eeprom": {"size": 100}})";
  EXPECT_EQ(VirtualHeater::Start(options, &error), nullptr);
  EXPECT_NE(error.find("eeprom.size"), std::string::npos) << error;
  EXPECT_EQ(VirtualHeater::Start(options, nullptr), nullptr);
}

TEST(VirtualHeaterStart, StopsWhileTheTesterHoldsThePort) {
  std::string error;
  auto heater = VirtualHeater::Start({}, &error);
  ASSERT_TRUE(heater) << error;
  const int fd = open(heater->PtyPath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  const auto before = Clock::now();
  heater->Stop();
  EXPECT_LT(Clock::now() - before, milliseconds(2000));
  close(fd);
  heater.reset();
}

}  // namespace
}  // namespace heatsim
