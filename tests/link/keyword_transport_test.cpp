#include "link/keyword_transport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
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
using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

Strings Repeat(const std::string& text, int times) {
  return Strings(static_cast<std::size_t>(times), text);
}

// A keyword frame as the unit sends it: format byte, addresses, data, sum.
Bytes Frame(std::uint8_t target, std::uint8_t source, const Bytes& data) {
  Bytes frame{static_cast<std::uint8_t>(0x80 + data.size()), target, source};
  frame.insert(frame.end(), data.begin(), data.end());
  std::uint8_t sum = 0;
  for (std::uint8_t b : frame) sum = static_cast<std::uint8_t>(sum + b);
  frame.push_back(sum);
  return frame;
}
Bytes Reply(const Bytes& data) {
  return Frame(0xF1, 0x51, data);
}

std::size_t KeywordFramer(std::span<const std::uint8_t> bytes) {
  return bytes.empty() ? 0 : (bytes[0] & 0x7Fu) + 4;
}

// --- The framing without a line ------------------------------------------------------------

TEST(KeywordFrame, BuildsRequests) {
  std::array<std::uint8_t, kTransmitBufferSize> out{};
  const Bytes payload{0x21, 0x36};
  const std::size_t size = BuildKeywordFrame(0x51, 0xF1, payload, out);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<long>(size)),
            (Bytes{0x82, 0x51, 0xF1, 0x21, 0x36, 0x1B}));
  EXPECT_EQ(BuildKeywordFrame(0x51, 0xF1, Bytes(32, 0x11), out), 36u);
  EXPECT_EQ(out[0], 0xA0);
  // No data, or more than the format byte can count, is not a frame; nor what does not fit.
  EXPECT_EQ(BuildKeywordFrame(0x51, 0xF1, Bytes{}, out), 0u);
  EXPECT_EQ(BuildKeywordFrame(0x51, 0xF1, Bytes(33, 0x11), out), 0u);
  std::array<std::uint8_t, 5> small{};
  EXPECT_EQ(BuildKeywordFrame(0x51, 0xF1, payload, small), 0u);
}

TEST(KeywordFrame, LineSettingsAndTiming) {
  const PortConfig config = KeywordLineConfig(3);
  EXPECT_EQ(config.portNumber, 3u);
  EXPECT_EQ(config.baudRate, 10400u);
  EXPECT_EQ(config.dataBits, 8);
  EXPECT_EQ(config.parity, kParityNone);
  EXPECT_EQ(config.stopBits, kOneStopBit);
  EXPECT_EQ(config.handshake, kHandshakeNone);
  EXPECT_EQ(config.byteTimeoutMs, 30u);
  EXPECT_EQ(config.writeTimeoutMs, 100u);
  const TransportTiming timing = KeywordTiming();
  EXPECT_EQ(timing.replyWaitMs, 500u);
  EXPECT_EQ(timing.attempts, 5);
  EXPECT_EQ(timing.probeAttempts, 2);
  EXPECT_EQ(timing.byteTimeoutMs, 30u);
  EXPECT_GE(timing.idleGapMs, 40u);
}

struct FirstByteCase {
  std::uint8_t byte;
  FrameStep::Kind kind;
  std::uint32_t toFollow;
};

TEST(KeywordFrame, FirstByteDecidesTheRest) {
  const KeywordFraming framing;
  for (const FirstByteCase& c :
       {FirstByteCase{0x00, FrameStep::kSkip, 0}, FirstByteCase{0x7F, FrameStep::kSkip, 0},
        FirstByteCase{0x80, FrameStep::kSkip, 0},  // n = 0
        FirstByteCase{0xA1, FrameStep::kSkip, 0},  // n = 33
        FirstByteCase{0xFF, FrameStep::kSkip, 0}, FirstByteCase{0x81, FrameStep::kMore, 4},
        FirstByteCase{0xA0, FrameStep::kMore, 35}}) {
    const std::uint8_t first[] = {c.byte};
    const FrameStep step = framing.Next(first, false, {});
    EXPECT_EQ(step.kind, c.kind) << int(c.byte);
    if (c.kind == FrameStep::kMore) {
      EXPECT_EQ(step.count, c.toFollow) << int(c.byte);
      EXPECT_TRUE(step.lengthKnown);
    }
  }
}

// --- The transport on a pseudo-terminal ----------------------------------------------------

const Bytes kRequest = {0x21, 0x36};
const Bytes kRequestFrame = {0x82, 0x51, 0xF1, 0x21, 0x36, 0x1B};
const Bytes kPositive = Reply({0x61, 0x36, 0x12, 0x34});

constexpr std::uint32_t kTestReplyWaitMs = 400;

class KeywordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(peer_.Open()) << "no pseudo-terminal available";
    PortConfig config = KeywordLineConfig(0);
    config.devicePath = peer_.SlavePath();
    ASSERT_EQ(OpenPort(port_, config), 1);
    transport_.SetPort(port_);
    // Shorter waits keep the suite fast and still leave a loaded machine time for an answer.
    TransportTiming timing = KeywordTiming();
    timing.replyWaitMs = kTestReplyWaitMs;
    transport_.SetTiming(timing);
    transport_.StartThreads();
    transport_.SetReceiverMode(kRxFirst);
    transport_.BusIdle().Set();
    transport_.SessionRunning().Set();
  }
  void TearDown() override {
    transport_.SessionRunning().Reset();
    transport_.StopThreads();
    ClosePort(port_);
    peer_.Stop();
  }
  void Start(linktest::Script script) { peer_.Start(std::move(script), KeywordFramer); }
  int Send(const Bytes& payload) { return transport_.Send(payload.data(), payload.size()); }
  Bytes Answer() const { return Bytes(transport_.Reply().begin(), transport_.Reply().end()); }
  Strings Errors() const { return protocol_.Texts(kProtocolError); }
  Strings Received() const { return protocol_.Texts(kProtocolReceived); }

  linktest::RecordingProtocol protocol_;
  linktest::RecordingBoxes boxes_;
  PtyPeer peer_;
  SerialPort* port_ = nullptr;
  KeywordTransport transport_{0x51, 0xF1};
};

TEST_F(KeywordTest, ExchangeRecognisesEchoAndDeliversReply) {
  Start([](const Bytes& frame, int) { return EchoThen(frame, kPositive); });
  ASSERT_EQ(Send(kRequest), 1);
  EXPECT_EQ(Answer(), kPositive);
  EXPECT_EQ(peer_.Frames(), std::vector<Bytes>{kRequestFrame});
  EXPECT_FALSE(transport_.EchoPending());
  EXPECT_EQ(protocol_.Texts(kProtocolSent), Strings{"Tx: 82 51 F1 21 36 1B "});
  EXPECT_EQ(Received(), Strings{"Rx: 84 F1 51 61 36 12 34 A3 "});
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(transport_.CheckAck(), 0);
  EXPECT_TRUE(boxes_.Texts().empty());
}

TEST_F(KeywordTest, AddressesOfRequestsAreTheDriversAndRepliesAreNotChecked) {
  transport_.SetAddresses(0x9D, 0x9A);
  const Bytes reply = Frame(0x12, 0x34, {0xC1, 0xE9, 0x8F});
  Start([reply](const Bytes& frame, int) { return EchoThen(frame, reply); });
  ASSERT_EQ(Send({kKeywordStartService}), 1);
  EXPECT_EQ(peer_.Frames(), std::vector<Bytes>{Frame(0x9D, 0x9A, {0x81})});
  EXPECT_EQ(Answer(), reply);
  EXPECT_EQ(transport_.CheckAck(), 0);
}

struct RetryCase {
  const char* name;
  std::function<PeerAnswer(const Bytes&, int)> script;
  bool probe;
  int result;
  int requests;
  Strings errors;
  Strings received;
};

class KeywordRetries : public KeywordTest, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(KeywordRetries, AttemptsAndMessages) {
  const auto& c = GetParam();
  Start(c.script);
  transport_.SetProbeMode(c.probe);
  EXPECT_EQ(Send(kRequest), c.result);
  EXPECT_EQ(peer_.FrameCount(), c.requests);
  for (const Bytes& frame : peer_.Frames()) EXPECT_EQ(frame, kRequestFrame);
  EXPECT_EQ(Errors(), c.errors);
  EXPECT_EQ(Received(), c.received);
  if (c.result == 1) {
    EXPECT_EQ(Answer(), kPositive);
  }
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::string kPositiveText = "Rx: 84 F1 51 61 36 12 34 A3 ";

INSTANTIATE_TEST_SUITE_P(
    Table, KeywordRetries,
    ::testing::Values(
        RetryCase{"AdapterUnplugged",
                  [](const Bytes&, int) { return Silence(); },
                  false,
                  0,
                  5,
                  Repeat("Diagnosis adapter is not connected!", 5),
                  {}},
        RetryCase{"AdapterUnpluggedDuringProbe",
                  [](const Bytes&, int) { return Silence(); },
                  true,
                  0,
                  2,
                  Repeat("Diagnosis adapter is not connected!", 2),
                  {}},
        RetryCase{"UnitSilent",
                  [](const Bytes& f, int) { return EchoOnly(f); },
                  false,
                  0,
                  5,
                  Repeat("Timeout!", 5),
                  {}},
        RetryCase{"UnitSilentDuringProbe",
                  [](const Bytes& f, int) { return EchoOnly(f); },
                  true,
                  0,
                  2,
                  Repeat("Timeout!", 2),
                  {}},
        // Bytes that cannot start a frame: below 0x80, no data (0x80), more than 32 (0xA1).
        RetryCase{"NoiseBeforeTheReplyIsSkipped",
                  [](const Bytes& f, int) {
                    return EchoThen(f, Concat({0x12, 0x7F, 0x80, 0xA1}, kPositive));
                  },
                  false,
                  1,
                  1,
                  {},
                  {kPositiveText}},
        RetryCase{"SumMismatchDroppedAndRequestRepeated",
                  [](const Bytes& f, int n) {
                    Bytes bad = kPositive;
                    bad.back() ^= 0x01;
                    return EchoThen(f, n == 1 ? bad : kPositive);
                  },
                  false,
                  1,
                  2,
                  {"Checksum faulure!", "Timeout!"},
                  {"Rx: 84 F1 51 61 36 12 34 A2 ", kPositiveText}},
        RetryCase{"PartialFrame",
                  [](const Bytes& f, int n) {
                    return EchoThen(f, n == 1 ? Bytes{0x81, 0xF1, 0x51} : kPositive);
                  },
                  false,
                  1,
                  2,
                  {"Timeout!", "Timeout!"},
                  {"Rx: 81 F1 51 ", kPositiveText}},
        RetryCase{"WrongEchoRetriedAtOnce",
                  [](const Bytes& f, int n) {
                    Bytes echo = f;  // same length, one data byte differs, the sum kept right
                    ++echo[4];
                    ++echo[5];
                    return n == 1 ? EchoOnly(echo) : EchoThen(f, kPositive);
                  },
                  false,
                  1,
                  2,
                  {"Wrong echo received!"},
                  {"Rx: 82 51 F1 21 37 1C ", kPositiveText}},
        RetryCase{"AnswersThirdAttempt",
                  [](const Bytes& f, int n) { return n < 3 ? Silence() : EchoThen(f, kPositive); },
                  false,
                  1,
                  3,
                  Repeat("Diagnosis adapter is not connected!", 2),
                  {kPositiveText}}),
    [](const auto& test) { return std::string(test.param.name); });

struct AckCase {
  const char* name;
  Bytes reply;
  int decodeNak;
  int checkAck;
  Strings boxes;  // after DecodeNak and then CheckAck
};

class KeywordAcknowledges : public KeywordTest, public ::testing::WithParamInterface<AckCase> {};

TEST_P(KeywordAcknowledges, NakAndServiceChecks) {
  const auto& c = GetParam();
  Start([&c](const Bytes& f, int) { return EchoThen(f, c.reply); });
  ASSERT_EQ(Send(kRequest), 1);
  EXPECT_EQ(transport_.DecodeNak(), c.decodeNak);
  EXPECT_EQ(transport_.CheckAck(), c.checkAck);
  EXPECT_EQ(boxes_.Texts(), c.boxes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, KeywordAcknowledges,
    ::testing::Values(
        AckCase{"Positive", kPositive, 0, 0, {}},
        // The reason is byte 5; byte 4 names the refused service.
        AckCase{"KnownNak", Reply({0x7F, 0x21, 0x22}), 1, 0,
                Repeat("NAK: conditions not correct!", 2)},
        AckCase{"UnknownNak", Reply({0x7F, 0x21, 0x99}), 1, 0,
                Repeat("NAK: unknown acknowlede code 0x99!", 2)},
        AckCase{"OtherService", Reply({0x62, 0x36}), 0, 2, {"Invalid response from control unit!"}},
        // The H-Bus positive bit is not the keyword one.
        AckCase{"HBusReplyBit", Reply({0xA1, 0x36}), 0, 2, {"Invalid response from control unit!"}},
        AckCase{"ServiceWithoutReplyBit",
                Reply({0x21, 0x36}),
                0,
                2,
                {"Invalid response from control unit!"}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(KeywordTest, OversizedPayloadIsRefused) {
  Start([](const Bytes&, int) { return Silence(); });
  EXPECT_EQ(Send(Bytes(33, 0x22)), 0);
  EXPECT_EQ(Send(Bytes{}), 0);
  EXPECT_EQ(Errors(), Repeat("Telegram too long, not sent!", 2));
  EXPECT_EQ(peer_.FrameCount(), 0);
}

TEST_F(KeywordTest, SenderWaitsForTheQuietLine) {
  Start([](const Bytes& f, int) { return EchoThen(f, kPositive); });
  const auto injected = Clock::now();
  peer_.Inject(Frame(0x33, 0x44, {0x01}));
  const auto giveUp = injected + std::chrono::seconds(5);
  while (Received().empty() && Clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(Received().size(), 1u);
  ASSERT_EQ(Send(kRequest), 1);
  const auto times = peer_.FrameTimes();
  ASSERT_EQ(times.size(), 1u);
  EXPECT_GE(times[0] - injected, std::chrono::milliseconds(KeywordTiming().idleGapMs));
}

// --- Frame assembly fed directly ------------------------------------------------------------

// A line that hands out scripted bytes, one read at a time, and then nothing.
class ScriptedLine : public ReceiveLine {
 public:
  explicit ScriptedLine(Bytes bytes) : bytes_(std::move(bytes)) {}
  int ReadWithin(std::uint8_t* buffer, std::uint32_t& length, std::uint32_t) override {
    std::uint32_t n = 0;
    while (n < length && next_ < bytes_.size()) buffer[n++] = bytes_[next_++];
    length = n;
    return 1;
  }
  bool IsOpen() const override { return true; }
  std::uint32_t ByteTimeoutMs() const override { return 1; }

 private:
  Bytes bytes_;
  std::size_t next_ = 0;
};

TEST(KeywordAssembly, SkippedBytesAreNotRecordedAndTheNextOneStartsTheFrame) {
  linktest::RecordingProtocol protocol;
  KeywordTransport transport;
  TransportTiming timing = KeywordTiming();
  timing.byteTimeoutMs = 1;
  transport.SetTiming(timing);
  ScriptedLine line(Concat({0x05, 0x80, 0xA1, 0xC0}, kPositive));
  transport.SetReceiveLine(&line);
  transport.SetReceiverMode(kRxFirst);
  for (int i = 0; i < 20 && transport.ReceiverModeValue() != kRxDispatch; ++i)
    transport.ReceiverStep();
  ASSERT_EQ(transport.ReceiverModeValue(), kRxDispatch);
  transport.ReceiverStep();  // no echo pending: the reply
  EXPECT_EQ(protocol.Texts(kProtocolReceived), Strings{kPositiveText});
  EXPECT_TRUE(protocol.Texts(kProtocolError).empty());
  EXPECT_EQ(transport.ReceiverModeValue(), kRxFirst);
}

TEST(KeywordAssembly, ALateEchoOfARepeatedRequestIsNotTakenForTheReply) {
  linktest::RecordingProtocol protocol;
  KeywordTransport transport;
  TransportTiming timing = KeywordTiming();
  timing.byteTimeoutMs = 1;
  transport.SetTiming(timing);
  const Bytes echo = Frame(0x51, 0xF1, kRequest);
  // The first attempt's echo, the repetition's echo, then the answer.
  ScriptedLine line(Concat(Concat(echo, echo), kPositive));
  transport.SetReceiveLine(&line);
  transport.SetReceiverMode(kRxFirst);
  ASSERT_TRUE(transport.PrepareTransmit(kRequest, FramingSlot::kLine));
  for (int frame = 0; frame < 3; ++frame) {
    for (int i = 0; i < 20 && transport.ReceiverModeValue() != kRxDispatch; ++i)
      transport.ReceiverStep();
    ASSERT_EQ(transport.ReceiverModeValue(), kRxDispatch) << "frame " << frame;
    transport.ReceiverStep();
    if (frame < 2) {
      EXPECT_FALSE(transport.ReplyEvent().IsSet()) << "frame " << frame;
    }
  }
  EXPECT_TRUE(transport.ReplyEvent().IsSet());
  EXPECT_EQ(protocol.Texts(kProtocolReceived), Strings{kPositiveText});
  EXPECT_TRUE(protocol.Texts(kProtocolError).empty());
}

}  // namespace
}  // namespace heatdiag
