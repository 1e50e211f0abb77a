// The D06 keyword unit through the pseudo-terminal, driven by a small client of its own as the
// tester drives the line: 8N1, a frame written whole, its echo and the answer read back with a
// deadline.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "keyword_unit.h"
#include "sim_test_support.h"
#include "virtual_heater.h"

namespace heatsim {
namespace {

using std::chrono::milliseconds;
using testing::Hex;
using testing::KeywordRequest;
using testing::SumChecks;
using Clock = std::chrono::steady_clock;

constexpr milliseconds kPatience{3000};
constexpr milliseconds kQuiet{250};

class KeywordLine : public ::testing::Test {
 protected:
  void TearDown() override {
    if (fd_ >= 0) close(fd_);
  }

  void Start(VirtualHeaterOptions options = {}) {
    if (options.device.empty() && options.scenario.empty()) options.device = "D06";
    std::string error;
    heater_ = VirtualHeater::Start(options, &error);
    ASSERT_TRUE(heater_) << error;
    fd_ = open(heater_->PtyPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd_, 0) << heater_->PtyPath();
    termios t{};
    ASSERT_EQ(tcgetattr(fd_, &t), 0);
    cfmakeraw(&t);  // 8N1
    ASSERT_EQ(tcsetattr(fd_, TCSANOW, &t), 0) << std::strerror(errno);
  }

  void Send(const Bytes& bytes) {
    ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  Bytes Read(std::size_t count, milliseconds patience = kPatience) {
    Bytes got;
    const auto end = Clock::now() + patience;
    while (got.size() < count) {
      const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
      if (left <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) break;
      std::uint8_t buffer[64];
      const ssize_t n = read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) {
        hungUp_ = true;
        break;
      }
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  // One answer frame as the tester's receiver takes it: the format byte, then n + 3 bytes.
  Bytes ReadFrame() {
    Bytes frame = Read(1);
    if (frame.size() != 1 || frame[0] < 0x81 || frame[0] > 0xA0) return frame;
    const Bytes rest = Read((frame[0] & 0x7Fu) + 3u);
    frame.insert(frame.end(), rest.begin(), rest.end());
    return frame;
  }

  bool Silent(milliseconds period = kQuiet) { return Read(1, period).empty(); }

  // Writes the request, expects its echo, returns the answer frame.
  Bytes Exchange(const Bytes& request) {
    Send(request);
    EXPECT_EQ(Hex(Read(request.size())), Hex(request)) << "echo";
    return ReadFrame();
  }

  std::unique_ptr<VirtualHeater> heater_;
  int fd_ = -1;
  bool hungUp_ = false;
};

// The data bytes of a well-formed answer to the tester; empty (with a failure) otherwise.
Bytes DataOf(const Bytes& answer) {
  EXPECT_GE(answer.size(), 5u) << Hex(answer);
  if (answer.size() < 5) return {};
  EXPECT_EQ(answer.size(), (answer[0] & 0x7Fu) + 4u) << Hex(answer);
  EXPECT_EQ(answer[1], 0xF1);
  EXPECT_EQ(answer[2], 0x51);
  EXPECT_TRUE(SumChecks(answer)) << Hex(answer);
  return Bytes(answer.begin() + 3, answer.end() - 1);
}

TEST_F(KeywordLine, WakeUpAndTheTestersConnectionPass) {
  Start();
  EXPECT_EQ(heater_->Device(), "D06");
  EXPECT_EQ(heater_->LineRate(), 10400);
  EXPECT_EQ(heater_->BitsPerByte(), 10);
  // The wake-up's breaks may come through as a zero byte: echoed, and skipped by the unit.
  Send({0x00});
  EXPECT_EQ(Hex(Read(1)), "00");
  EXPECT_EQ(Hex(DataOf(Exchange(KeywordRequest({0x81})))), "C1 E9 8F");

  const struct {
    Bytes request;
    std::size_t n;
    std::uint8_t answer;
  } pass[] = {
      {KeywordRequest({0x1A, 0x80}), 23, 0x5A}, {KeywordRequest({0x1A, 0x92}), 13, 0x5A},
      {KeywordRequest({0x1A, 0x93}), 3, 0x5A},  {KeywordRequest({0x1A, 0x94}), 13, 0x5A},
      {KeywordRequest({0x1A, 0x95}), 4, 0x5A},  {KeywordRequest({0x10, 0x81}), 2, 0x50},
  };
  for (const auto& p : pass) {
    const Bytes data = DataOf(Exchange(p.request));
    ASSERT_EQ(data.size(), p.n) << Hex(p.request);
    EXPECT_EQ(data[0], p.answer);
    EXPECT_EQ(data[1], p.request[4]);  // the echoed identifier
  }
  const Bytes seed = DataOf(Exchange(KeywordRequest({0x27, 0x05})));
  ASSERT_EQ(seed.size(), 4u);
  const std::uint16_t key = KeywordAccessKey(static_cast<std::uint16_t>(seed[2] << 8 | seed[3]));
  EXPECT_EQ(Hex(DataOf(Exchange(KeywordRequest({0x27, 0x06, static_cast<std::uint8_t>(key >> 8),
                                                static_cast<std::uint8_t>(key & 0xFF)})))),
            "67 06");
  EXPECT_EQ(Hex(DataOf(Exchange(KeywordRequest({0x21, 0x36})))), "61 36 70");
  EXPECT_EQ(Hex(DataOf(Exchange(KeywordRequest({0x18, 0xFA, 0x00, 0x00})))),
            "58 02 18 01 24 18 20 01");
  EXPECT_EQ(DataOf(Exchange(KeywordRequest({0x17, 0x18, 0x20}))).size(), 12u);
  EXPECT_EQ(DataOf(Exchange(KeywordRequest({0x21, 0x81}))).size(), 8u);
  EXPECT_EQ(DataOf(Exchange(KeywordRequest({0x21, 0x82}))).size(), 9u);
  EXPECT_EQ(Hex(DataOf(Exchange(KeywordRequest({0x14, 0x00, 0x00})))), "54 00 00");
  EXPECT_EQ(heater_->StoredFaultCount(), 0u);
  EXPECT_EQ(Hex(DataOf(Exchange(KeywordRequest({0x31, 0x03})))), "71 31 23");
  EXPECT_TRUE(Silent());
  const VirtualHeaterCounters c = heater_->Counters();
  EXPECT_EQ(c.telegramsReceived, 16u);
  EXPECT_EQ(c.repliesSent, 16u);
  EXPECT_EQ(c.framesDropped, 1u);  // the zero byte
}

TEST_F(KeywordLine, StrayBytesAndForeignFramesGetNoAnswer) {
  Start();
  Bytes bad = KeywordRequest({0x21, 0x81});
  bad.back() ^= 0x40;
  const Bytes ignored[] = {
      bad,                           // checksum
      KeywordRequest({0x81}, 0x01),  // another family's target
      {0x80, 0xA5, 0x00},            // no frame at all
      {0x82, 0x51, 0xF1, 0x21},      // cut short
  };
  for (const Bytes& b : ignored) {
    Send(b);
    EXPECT_EQ(Hex(Read(b.size())), Hex(b));  // the adapter echoes anyway
    EXPECT_TRUE(Silent()) << Hex(b);
    EXPECT_EQ(Hex(DataOf(Exchange(KeywordRequest({0x81})))), "C1 E9 8F") << "after " << Hex(b);
  }
}

struct KeywordFault {
  const char* name;
  FaultRule rule;
  enum { kNone, kNormal, kBadChecksum, kNak, kWrongEcho } effect;
  int extraBytes;
};

class KeywordFaultSwitch : public KeywordLine,
                           public ::testing::WithParamInterface<KeywordFault> {};

TEST_P(KeywordFaultSwitch, ShowsOnTheWire) {
  const KeywordFault& c = GetParam();
  VirtualHeaterOptions options;
  options.device = "D06";
  options.faults = {c.rule};
  Start(options);
  const Bytes request = KeywordRequest({0x21, 0x36});
  Send(request);
  const Bytes echo = Read(request.size());
  ASSERT_EQ(echo.size(), request.size());
  if (c.effect == KeywordFault::kWrongEcho) {
    EXPECT_NE(echo, request);
    EXPECT_TRUE(SumChecks(echo)) << Hex(echo);  // well-formed: the tester sees a wrong echo
    EXPECT_EQ(echo[0], request[0]);
  } else {
    EXPECT_EQ(echo, request);
  }
  switch (c.effect) {
    case KeywordFault::kNone:
    case KeywordFault::kWrongEcho:
      break;
    case KeywordFault::kNormal:
      EXPECT_EQ(Hex(ReadFrame()), "83 F1 51 61 36 70 CC");
      break;
    case KeywordFault::kBadChecksum: {
      const Bytes answer = ReadFrame();
      ASSERT_EQ(answer.size(), 7u);
      EXPECT_EQ(Hex(Bytes(answer.begin(), answer.end() - 1)), "83 F1 51 61 36 70");
      EXPECT_FALSE(SumChecks(answer));
      break;
    }
    case KeywordFault::kNak:
      EXPECT_EQ(Hex(DataOf(ReadFrame())), "7F 21 22");
      break;
  }
  EXPECT_EQ(Read(static_cast<std::size_t>(c.extraBytes)).size(),
            static_cast<std::size_t>(c.extraBytes));
  EXPECT_TRUE(Silent());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, KeywordFaultSwitch,
    ::testing::Values(
        KeywordFault{"no_reply", {FaultKind::kNoReply}, KeywordFault::kNone, 0},
        KeywordFault{"wrong_echo", {FaultKind::kWrongEcho}, KeywordFault::kWrongEcho, 0},
        KeywordFault{"bad_checksum", {FaultKind::kBadChecksum}, KeywordFault::kBadChecksum, 0},
        KeywordFault{"nak", {FaultKind::kNak, 0x21, 0x36, -1, 0, 0x22}, KeywordFault::kNak, 0},
        KeywordFault{"nak_other_identifier",
                     {FaultKind::kNak, 0x21, 0x81, -1, 0, 0x22},
                     KeywordFault::kNormal,
                     0},
        KeywordFault{"garbage", {FaultKind::kGarbage, -1, -1, -1, 0, 5}, KeywordFault::kNormal, 5},
        KeywordFault{"not_yet", {FaultKind::kNoReply, -1, -1, -1, 1, 0}, KeywordFault::kNormal, 0}),
    [](const ::testing::TestParamInfo<KeywordFault>& p) { return std::string(p.param.name); });

TEST_F(KeywordLine, LatePowerOffAndUnplug) {
  VirtualHeaterOptions options;
  options.device = "D06";
  options.faults = {{FaultKind::kLateReply, -1, -1, 1, 0, 600},
                    {FaultKind::kPowerOff, -1, -1, 1, 2, 0},
                    {FaultKind::kUnplug, -1, -1, 1, 3, 0}};
  Start(options);
  const Bytes start = KeywordRequest({0x81});
  Send(start);
  EXPECT_EQ(Read(start.size()), start);
  const auto echoed = Clock::now();
  EXPECT_EQ(Hex(DataOf(ReadFrame())), "C1 E9 8F");
  EXPECT_GE(Clock::now() - echoed, milliseconds(400));
  EXPECT_EQ(Hex(DataOf(Exchange(start))), "C1 E9 8F");
  // Powered off: the adapter still echoes.
  Send(start);
  EXPECT_EQ(Read(start.size()), start);
  EXPECT_TRUE(Silent());
  EXPECT_FALSE(heater_->Unplugged());
  // Unplugged: the terminal closes.
  Send(start);
  EXPECT_TRUE(Read(1).empty());
  EXPECT_TRUE(hungUp_);
  EXPECT_TRUE(heater_->Unplugged());
}

TEST_F(KeywordLine, SilentScenarioOnlyEchoes) {
  VirtualHeaterOptions options;
  options.scenario = "d06-silent";  // the device follows from the scenario
  Start(options);
  EXPECT_EQ(heater_->Device(), "D06");
  const Bytes start = KeywordRequest({0x81});
  Send(start);
  EXPECT_EQ(Read(start.size()), start);
  EXPECT_TRUE(Silent());
  EXPECT_EQ(heater_->Counters().repliesSent, 0u);
}

TEST_F(KeywordLine, LineRatePacesTenBitsPerByte) {
  VirtualHeaterOptions options;
  options.device = "D06";
  options.lineRate = true;
  options.latencyMs = 0;
  Start(options);
  const Bytes request = KeywordRequest({0x21, 0x82});  // 6 bytes out, 13 back
  const auto sent = Clock::now();
  EXPECT_EQ(DataOf(Exchange(request)).size(), 9u);
  // 19 characters of 10 bits at 10400 baud: the line-bound minimum of the exchange.
  EXPECT_GE(Clock::now() - sent, LineTime(10400, 10, 19));
}

TEST(KeywordStart, DeviceAndScenarioMustAgree) {
  VirtualHeaterOptions options;
  options.device = "D06";
  options.scenario = "v3.2";
  std::string error;
  EXPECT_EQ(VirtualHeater::Start(options, &error), nullptr);
  EXPECT_NE(error.find("is a D00 unit, not D06"), std::string::npos) << error;
  options.scenario = "d06";
  options.device = "";
  const auto heater = VirtualHeater::Start(options, &error);
  ASSERT_TRUE(heater) << error;
  EXPECT_EQ(heater->Device(), "D06");
  const auto hbus = VirtualHeater::Start({}, &error);
  ASSERT_TRUE(hbus) << error;
  EXPECT_EQ(hbus->Device(), "D00");
  EXPECT_EQ(hbus->BitsPerByte(), 11);

  EXPECT_EQ(ScenarioDevice("d06-running"), "D06");
  EXPECT_EQ(ScenarioDevice(""), "D00");
  EXPECT_EQ(ScenarioDevice("v1.5"), "D00");
  EXPECT_EQ(ScenarioDevice("/nonexistent/unit.json", &error), "");
  EXPECT_NE(error.find("/nonexistent/unit.json"), std::string::npos) << error;
}

}  // namespace
}  // namespace heatsim
