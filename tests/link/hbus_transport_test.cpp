#include "link/hbus_transport.h"

#include <time.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "link/pty_peer.h"
#include "link/recorders.h"
#include "link/serial_port.h"

namespace heatdiag {
namespace {

using linktest::Bytes;
using linktest::EchoOnly;
using linktest::EchoThen;
using linktest::PeerAnswer;
using linktest::PtyPeer;
using linktest::Silence;
using linktest::Telegram;
using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

const Bytes kRequest = {0x51, 0x0A};
const Bytes kRequestTelegram = {0xF4, 0x03, 0x51, 0x0A, 0xAC};
const Bytes kReply = {0x4F, 0x03, 0xD1, 0x0A, 0x97};

long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

Strings Repeat(const std::string& text, int times) {
  return Strings(static_cast<std::size_t>(times), text);
}

// A transport on a pseudo-terminal whose far end answers from a script; the test plays the
// link worker.
constexpr std::uint32_t kTestReplyWaitMs = 400;

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer_.Open()) << "no pseudo-terminal available";
    PortConfig config = HBusLineConfig(0);
    config.devicePath = peer_.SlavePath();
    ASSERT_EQ(OpenPort(port_, config), 1);
    transport_.SetPort(port_);
    // The retry logic does not depend on the length of a wait: shorter ones keep the suite fast
    // and still leave a loaded machine plenty of time for an answer.
    transport_.SetReplyWaits(kTestReplyWaitMs, kBlockReplyWaitMs);
    transport_.StartThreads();
    transport_.SetReceiverMode(kRxHeader);
    transport_.BusIdle().Set();
    transport_.SessionRunning().Set();
  }
  void TearDown() override {
    transport_.SessionRunning().Reset();
    transport_.StopThreads();
    ClosePort(port_);
    peer_.Stop();
  }

  int Send(const Bytes& payload) { return transport_.SendTelegram(payload.data(), payload.size()); }
  int SendBlock(const Bytes& bytes) {
    return transport_.SendBlockFrame(bytes.data(), bytes.size());
  }
  Bytes Reply() const { return Bytes(transport_.Reply().begin(), transport_.Reply().end()); }
  Strings Errors() const { return protocol_.Texts(kProtocolError); }
  Strings Received() const { return protocol_.Texts(kProtocolReceived); }

  linktest::RecordingProtocol protocol_;
  linktest::RecordingBoxes boxes_;
  PtyPeer peer_;
  SerialPort* port_ = nullptr;
  HBusTransport transport_;
};

TEST_F(TransportTest, ExchangeRecognisesEchoAndDeliversReply) {
  peer_.Start([](const Bytes& frame, int) { return EchoThen(frame, kReply); });
  ASSERT_EQ(Send(kRequest), 1);
  EXPECT_EQ(Reply(), kReply);
  EXPECT_EQ(transport_.ReplyByte(2), 0xD1);
  EXPECT_EQ(transport_.ReplyByte(40), 0);
  EXPECT_EQ(peer_.Frames(), std::vector<Bytes>{kRequestTelegram});
  EXPECT_FALSE(transport_.EchoPending());
  // The echo is not recorded; request and reply are.
  EXPECT_EQ(protocol_.Texts(kProtocolSent), Strings{"Tx: F4 03 51 0A AC "});
  EXPECT_EQ(Received(), Strings{"Rx: 4F 03 D1 0A 97 "});
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(transport_.CheckAck(), 0);
  EXPECT_EQ(transport_.DecodeNak(), 0);
  EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(TransportTest, ConsecutiveExchangesEachGetTheirOwnReply) {
  peer_.Start([](const Bytes& frame, int) {
    return EchoThen(frame, Telegram(0x4F, {static_cast<std::uint8_t>(frame[2] | 0x80), frame[3]}));
  });
  for (std::uint8_t index = 1; index <= 4; ++index) {
    ASSERT_EQ(Send({0x50, index}), 1) << int(index);
    EXPECT_EQ(transport_.ReplyByte(3), index);
    EXPECT_EQ(transport_.CheckAck(), 0);
  }
  EXPECT_TRUE(Errors().empty());
}

struct RetryCase {
  const char* name;
  std::function<PeerAnswer(const Bytes&, int)> script;
  bool probe;
  int result;
  int requests;
  Strings errors;
};

class Retries : public TransportTest, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(Retries, AttemptsAndMessages) {
  const auto& c = GetParam();
  peer_.Start(c.script);
  transport_.SetProbeMode(c.probe);
  EXPECT_EQ(Send(kRequest), c.result);
  EXPECT_EQ(peer_.FrameCount(), c.requests);
  for (const Bytes& frame : peer_.Frames()) EXPECT_EQ(frame, kRequestTelegram);
  EXPECT_EQ(Errors(), c.errors);
  if (c.result == 1) {
    EXPECT_EQ(Reply(), kReply);
  }
}

Bytes WithByteChanged(Bytes frame, std::size_t at) {
  frame[at] ^= 0x01;
  return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Retries,
    ::testing::Values(
        RetryCase{"AdapterUnplugged", [](const Bytes&, int) { return Silence(); }, false, 0, 5,
                  Repeat("Diagnosis adapter is not connected!", 5)},
        RetryCase{"AdapterUnpluggedDuringProbe", [](const Bytes&, int) { return Silence(); }, true,
                  0, 2, Repeat("Diagnosis adapter is not connected!", 2)},
        RetryCase{"UnitUnpowered", [](const Bytes& f, int) { return EchoOnly(f); }, false, 0, 5,
                  Repeat("Timeout!", 5)},
        RetryCase{"AnswersThirdAttempt",
                  [](const Bytes& f, int n) { return n < 3 ? Silence() : EchoThen(f, kReply); },
                  false, 1, 3, Repeat("Diagnosis adapter is not connected!", 2)},
        RetryCase{"WrongEchoRetriedAtOnce",
                  [](const Bytes& f, int n) {
                    // Same length, one byte differs (checksum kept valid).
                    Bytes echo = WithByteChanged(f, 3);
                    echo[4] ^= 0x01;
                    return n == 1 ? EchoOnly(echo) : EchoThen(f, kReply);
                  },
                  false, 1, 2, Strings{"Wrong echo received!"}},
        RetryCase{"EchoOfOtherLength",
                  [](const Bytes& f, int n) {
                    return n == 1 ? EchoOnly(Telegram(0xF4, {0x51})) : EchoThen(f, kReply);
                  },
                  false, 1, 2, Strings{"Wrong echo received!"}}),
    [](const auto& test) { return std::string(test.param.name); });

struct ReplyCase {
  const char* name;
  Bytes firstReply;  // the unit's answer to the first attempt; the second is always right
  int requests;
  Strings errors;
  Bytes reply;
};

class ReceivedTelegrams : public TransportTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ReceivedTelegrams, CheckedBeforeTheyCount) {
  const auto& c = GetParam();
  peer_.Start([&c](const Bytes& f, int n) { return EchoThen(f, n == 1 ? c.firstReply : kReply); });
  EXPECT_EQ(Send(kRequest), 1);
  EXPECT_EQ(peer_.FrameCount(), c.requests);
  EXPECT_EQ(Errors(), c.errors);
  EXPECT_EQ(Reply(), c.reply);
}

Bytes LongestReply() {
  Bytes body{0xD1};
  for (std::uint8_t i = 0; i < 30; ++i) body.push_back(i);
  return Telegram(0x4F, body);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReceivedTelegrams,
    ::testing::Values(
        ReplyCase{"Length2Accepted", Telegram(0x4F, {0xD1}), 1, {}, Telegram(0x4F, {0xD1})},
        ReplyCase{"Length32Accepted", LongestReply(), 1, {}, LongestReply()},
        ReplyCase{
            "Length1Rejected", {0x4F, 0x01}, 2, {"Invalid message length!", "Timeout!"}, kReply},
        ReplyCase{
            "Length33Rejected", {0x4F, 0x21}, 2, {"Invalid message length!", "Timeout!"}, kReply},
        ReplyCase{"ChecksumFailure",
                  {0x4F, 0x03, 0xD1, 0x0A, 0x98},
                  2,
                  {"Checksum faulure!", "Timeout!"},
                  kReply},
        ReplyCase{"BodyCutShort", {0x4F, 0x03, 0xD1}, 2, {"Timeout!", "Timeout!"}, kReply},
        ReplyCase{"LengthMissing", {0x4F}, 2, {"Timeout!", "Timeout!"}, kReply}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(TransportTest, PartialTelegramIsRecordedAsReceived) {
  peer_.Start([](const Bytes& f, int n) {
    return EchoThen(f, n == 1 ? Bytes{0x4F, 0x03, 0xD1} : kReply);
  });
  EXPECT_EQ(Send(kRequest), 1);
  EXPECT_EQ(Received(), (Strings{"Rx: 4F 03 D1 ", "Rx: 4F 03 D1 0A 97 "}));
}

struct AckCase {
  const char* name;
  Bytes reply;
  int decodeNak;
  int checkAck;
  Strings boxes;  // after DecodeNak and then CheckAck
};

class Acknowledges : public TransportTest, public ::testing::WithParamInterface<AckCase> {};

TEST_P(Acknowledges, NakAndCommandChecks) {
  const auto& c = GetParam();
  peer_.Start([&c](const Bytes& f, int) { return EchoThen(f, c.reply); });
  ASSERT_EQ(Send(kRequest), 1);
  EXPECT_EQ(transport_.DecodeNak(), c.decodeNak);
  EXPECT_EQ(transport_.CheckAck(), c.checkAck);
  EXPECT_EQ(boxes_.Texts(), c.boxes);
  // Boxes are recorded in the protocol as errors too.
  EXPECT_EQ(Errors(), c.boxes);
}

INSTANTIATE_TEST_SUITE_P(Table, Acknowledges,
                         ::testing::Values(AckCase{"Positive", kReply, 0, 0, {}},
                                           AckCase{"KnownNak", Telegram(0x4F, {0x7F, 0x22}), 1, 0,
                                                   Repeat("NAK: conditions not correct!", 2)},
                                           AckCase{"UnknownNak", Telegram(0x4F, {0x7F, 0x99}), 1, 0,
                                                   Repeat("NAK: unknown acknowlede code 0x99!", 2)},
                                           AckCase{"OtherCommand",
                                                   Telegram(0x4F, {0xD2, 0x0A}),
                                                   0,
                                                   2,
                                                   {"Invalid response from control unit!"}},
                                           AckCase{"CommandWithoutReplyBit",
                                                   Telegram(0x4F, {0x51, 0x0A}),
                                                   0,
                                                   2,
                                                   {"Invalid response from control unit!"}}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST_F(TransportTest, TelegramOfAnotherMemberIsRecordedAndIgnored) {
  const Bytes foreign = Telegram(0x4A, {0xD1, 0x0A});
  peer_.Start([foreign](const Bytes& f, int) {
    return PeerAnswer{{{0, f}, {5, foreign}, {10, kReply}}, false};
  });
  ASSERT_EQ(Send(kRequest), 1);
  EXPECT_EQ(Reply(), kReply);
  EXPECT_EQ(Received(), (Strings{"Rx: 4A 03 D1 0A 92 ", "Rx: 4F 03 D1 0A 97 "}));
  EXPECT_TRUE(Errors().empty());
}

TEST_F(TransportTest, SenderWaitsForTheQuietLine) {
  peer_.Start([](const Bytes& f, int) { return EchoThen(f, kReply); });
  const auto injected = Clock::now();
  peer_.Inject(Telegram(0x4A, {0xD1, 0x0A}));
  const auto giveUp = injected + std::chrono::seconds(5);
  while (Received().empty() && Clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(Received().size(), 1u);
  ASSERT_EQ(Send(kRequest), 1);
  const auto times = peer_.FrameTimes();
  ASSERT_EQ(times.size(), 1u);
  // The request went out no sooner than 40 ms after the other member's telegram.
  EXPECT_GE(times[0] - injected, std::chrono::milliseconds(kBusIdleMs));
}

TEST_F(TransportTest, OversizedPayloadIsRefused) {
  peer_.Start([](const Bytes&, int) { return Silence(); });
  const Bytes tooLong(kMaxRequestPayload + 1, 0x22);
  EXPECT_EQ(Send(tooLong), 0);
  EXPECT_EQ(Errors(), Strings{"Telegram too long, not sent!"});
  EXPECT_EQ(transport_.SendBlockFrame(tooLong.data(), kMaxBlockFramePayload + 1), 0);

  // The largest payload fits and goes out whole.
  const Bytes largest(kMaxRequestPayload, 0x22);
  std::thread requester([&] { Send(largest); });
  const bool arrived = [&] {
    for (int i = 0; i < 500; ++i) {
      if (peer_.RawReceived().size() >= kTransmitBufferSize) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }();
  transport_.StopThreads();
  requester.join();
  ASSERT_TRUE(arrived);
  const Bytes raw = peer_.RawReceived();
  EXPECT_EQ(raw[0], 0xF4);
  EXPECT_EQ(raw[1], 0xFE);
  std::uint8_t x = 0;
  for (std::size_t i = 0; i < kTransmitBufferSize; ++i) x = static_cast<std::uint8_t>(x ^ raw[i]);
  EXPECT_EQ(x, 0);
}

TEST_F(TransportTest, NothingIsSentWithoutSession) {
  peer_.Start([](const Bytes& f, int) { return EchoThen(f, kReply); });
  transport_.SessionRunning().Reset();
  const auto t0 = Clock::now();
  EXPECT_EQ(Send(kRequest), 0);
  EXPECT_LT(ElapsedMs(t0), 1000);
  // Once the threads have ended, whatever the sender did is done: it logs every telegram
  // before writing it, and it logged none.
  transport_.StopThreads();
  EXPECT_TRUE(protocol_.Texts(kProtocolSent).empty());
  EXPECT_TRUE(Errors().empty());
}

TEST_F(TransportTest, AdapterUnpluggedMidExchange) {
  peer_.Start([](const Bytes&, int) { return PeerAnswer{{}, true}; });
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  EXPECT_EQ(Send(kRequest), 0);
  const long elapsed = ElapsedMs(t0);
  const double cpu = CpuSeconds() - cpu0;
  const Strings errors = Errors();
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors.front(), "Diagnosis adapter is not connected!");
  // The later attempts cannot even be written.
  EXPECT_EQ(std::count(errors.begin(), errors.end(), "Transmission failure!"), 4);
  EXPECT_LT(elapsed, 5 * static_cast<long>(kTestReplyWaitMs) + 5000);
  EXPECT_LT(cpu, 0.5 * static_cast<double>(elapsed) / 1000.0);
  const auto stop0 = Clock::now();
  transport_.StopThreads();
  EXPECT_LT(ElapsedMs(stop0), 3000);
  EXPECT_TRUE(transport_.ReceiverExited());
  EXPECT_TRUE(transport_.SenderExited());
}

TEST_F(TransportTest, StopReleasesAWaitingRequester) {
  peer_.Start([](const Bytes&, int) { return Silence(); });
  int result = -1;
  std::thread requester([&] { result = Send(kRequest); });
  ASSERT_TRUE(peer_.WaitForFrames(1, 5000));
  const auto t0 = Clock::now();
  transport_.SessionRunning().Reset();
  transport_.StopThreads();
  requester.join();
  EXPECT_LT(ElapsedMs(t0), 3000);
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(transport_.StopRequested());
}

TEST(TransportLifecycle, StopWithoutStartAndRestart) {
  HBusTransport transport;
  transport.StopThreads();
  transport.StartThreads();
  transport.StartThreads();  // already running: nothing happens
  EXPECT_FALSE(transport.StopRequested());
  transport.StopThreads();
  EXPECT_TRUE(transport.ReceiverExited());
  transport.StartThreads();
  EXPECT_FALSE(transport.StopRequested());
  EXPECT_FALSE(transport.ReceiverExited());
}  // the destructor stops them again

TEST_F(TransportTest, PauseHandShake) {
  peer_.Start([](const Bytes& f, int) { return EchoThen(f, kReply); });
  ASSERT_TRUE(transport_.PauseReceiver());
  EXPECT_EQ(transport_.ReceiverModeValue(), kRxPaused);
  // Paused, the receiver leaves the line alone.
  peer_.Inject(Telegram(0x4A, {0xD1}));
  // Checks that nothing happens, so it cannot wait for an event: a short look suffices.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(Received().empty());
  transport_.SetReceiverMode(kRxHeader);
  for (int i = 0; i < 400 && Received().empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(Received().size(), 1u);
  ASSERT_EQ(Send(kRequest), 1);
}

TEST_F(TransportTest, PauseWinsOverATelegramInProgress) {
  peer_.Start([](const Bytes& f, int) { return EchoThen(f, kReply); });
  peer_.Inject({0x4F, 0x10, 0x01});  // a telegram that stops half-way
  const auto giveUp = Clock::now() + std::chrono::seconds(5);
  while (transport_.ReceiverModeValue() != kRxBody && Clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(transport_.ReceiverModeValue(), kRxBody);  // in the middle of the telegram
  const auto t0 = Clock::now();
  EXPECT_TRUE(transport_.PauseReceiver());
  EXPECT_LT(ElapsedMs(t0), 2000);
  EXPECT_EQ(transport_.ReceiverModeValue(), kRxPaused);
  // Without a session nobody reads: pausing is immediate.
  transport_.SessionRunning().Reset();
  transport_.SetReceiverMode(kRxHeader);
  EXPECT_TRUE(transport_.PauseReceiver());
  EXPECT_EQ(transport_.ReceiverModeValue(), kRxPaused);
}

struct BlockCase {
  const char* name;
  std::uint8_t version;
  Bytes frame;  // without checksum
  Bytes reply;  // whole frame as the unit sends it
};

class BlockMode : public TransportTest, public ::testing::WithParamInterface<BlockCase> {};

Bytes WithChecksum(Bytes b) {
  std::uint8_t x = 0;
  for (auto v : b) x = static_cast<std::uint8_t>(x ^ v);
  b.push_back(x);
  return b;
}

TEST_P(BlockMode, FrameLengthsByVersion) {
  const auto& c = GetParam();
  const Bytes sent = WithChecksum(c.frame);
  peer_.Start([&c](const Bytes& f, int) { return EchoThen(f, c.reply); },
              [size = sent.size()](std::span<const std::uint8_t> b) {
                return b.empty() ? std::size_t{0} : size;
              });
  ASSERT_TRUE(transport_.PauseReceiver());
  transport_.SetHBusVersion(c.version);
  transport_.SetReceiverMode(kRxBlockFirst);
  ASSERT_EQ(SendBlock(c.frame), 1);
  EXPECT_EQ(peer_.Frames(), std::vector<Bytes>{sent});
  EXPECT_EQ(Reply(), c.reply);
  EXPECT_TRUE(Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, BlockMode,
    ::testing::Values(BlockCase{"Read32", 0x32, {0x03, 0x10}, WithChecksum({0x03, 0x10, 0x55})},
                      BlockCase{
                          "Write30", 0x30, {0x04, 0x10, 0x55}, WithChecksum({0x04, 0x10, 0x55})},
                      BlockCase{"Bank32", 0x32, {0x05, 0x01}, WithChecksum({0x05, 0x01})},
                      BlockCase{"End32", 0x32, {0x09}, WithChecksum({0x09, 0x00})},
                      BlockCase{"End31", 0x31, {0x09, 0x09}, WithChecksum({0x09, 0x00})},
                      BlockCase{"Read21", 0x21, {0x03, 0x10}, WithChecksum({0x10, 0x55})},
                      BlockCase{"Write10", 0x10, {0x04, 0x10, 0x55}, WithChecksum({0x10, 0x55})}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(TransportTest, BlockFrameRetriesAndChecksum) {
  const Bytes good = WithChecksum({0x03, 0x10, 0x55});
  peer_.Start(
      [good](const Bytes& f, int n) {
        if (n == 1) return EchoThen(f, {0x03, 0x10, 0x55, 0x00});  // checksum wrong
        return EchoThen(f, good);
      },
      [](std::span<const std::uint8_t> b) { return b.empty() ? std::size_t{0} : 3; });
  ASSERT_TRUE(transport_.PauseReceiver());
  transport_.SetHBusVersion(0x32);
  transport_.SetReceiverMode(kRxBlockFirst);
  ASSERT_EQ(SendBlock({0x03, 0x10}), 1);
  EXPECT_EQ(Reply(), good);
  EXPECT_EQ(Errors(), (Strings{"Checksum faulure!", "Timeout!"}));
}

TEST_F(TransportTest, BlockFrameUnansweredGivesUpAfterFiveShortWaits) {
  peer_.Start([](const Bytes&, int) { return Silence(); },
              [](std::span<const std::uint8_t> b) { return b.empty() ? std::size_t{0} : 3; });
  ASSERT_TRUE(transport_.PauseReceiver());
  transport_.SetHBusVersion(0x32);
  transport_.SetReceiverMode(kRxBlockFirst);
  const auto t0 = Clock::now();
  EXPECT_EQ(SendBlock({0x03, 0x10}), 0);
  EXPECT_GE(ElapsedMs(t0), 5 * static_cast<long>(kBlockReplyWaitMs) - 5);
  EXPECT_EQ(peer_.FrameCount(), 5);
  // In block mode a silent line is always reported as a time-out.
  EXPECT_EQ(Errors(), Repeat("Timeout!", 5));
}

TEST_F(TransportTest, TemporaryHeadersForAFreeTelegram) {
  peer_.Start([](const Bytes& f, int) { return EchoThen(f, Telegram(0x2A, {0x90})); });
  transport_.SetRequestHeader(0xA2);
  transport_.SetReplyHeader(0x2A);
  ASSERT_EQ(Send({0x10}), 1);
  EXPECT_EQ(peer_.Frames()[0], Telegram(0xA2, {0x10}));
  EXPECT_EQ(Reply(), Telegram(0x2A, {0x90}));
}

}  // namespace
}  // namespace heatdiag
