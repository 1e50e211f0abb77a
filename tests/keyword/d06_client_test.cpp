// D06's rows run through the client the link worker uses, over a scripted line: the connection
// pass in order, the access answer computed from the unit's challenge, the refused key, and the
// chained fault statuses.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "drivers/catalogue/driver_catalogues.h"
#include "drivers/diag_store.h"
#include "drivers/keyword/d06_client.h"
#include "drivers/keyword/d06_driver.h"
#include "drivers/keyword/d06_rows.h"
#include "keyword/frames.h"

namespace heatdiag::d06 {
namespace {

using heatdiag::testing::Answer;
using heatdiag::testing::Bytes;
using heatdiag::testing::Hex;
using heatdiag::testing::Recorders;
namespace r = rows;

// Answers each request with the answer queued for it; a request without one goes unanswered.
class ScriptedLine : public kit::RequestLine {
 public:
  void Expect(const std::string& request, const std::string& answer) {
    script_.emplace_back(Hex(request), Answer(answer));
  }
  bool WakeUp() override {
    ++wakeUps;
    return true;
  }
  int Send(const std::uint8_t* payload, std::size_t n) override {
    sent.emplace_back(payload, payload + n);
    if (script_.empty() || script_.front().first != sent.back()) return 0;
    reply_ = script_.front().second;
    script_.pop_front();
    return 1;
  }
  std::span<const std::uint8_t> Reply() const override { return reply_; }
  int SendAddressed(std::uint8_t target, std::uint8_t source, const std::uint8_t* payload,
                    std::size_t n) override {
    addressed.emplace_back(target, source);
    return Send(payload, n);
  }

  int wakeUps = 0;
  std::vector<std::pair<std::uint8_t, std::uint8_t>> addressed;
  std::vector<Bytes> sent;

 private:
  std::deque<std::pair<Bytes, Bytes>> script_;
  Bytes reply_;
};

class ClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StoreStartup();
    ASSERT_EQ(StoreInit(CatalogueD06()), 1);
    kit::ShowAllRows(r::kCount);
  }
  void TearDown() override { StoreShutdown(); }

  // The rows the connection pass runs, in table order, until one is not done.
  EntryResult ConnectionPass() {
    for (std::size_t k = 0; k < client.RowCount(); ++k) {
      if (client.RowSchedule(k) == kOnRequest) continue;
      const EntryResult result = client.ExecuteRow(k);
      if (result != EntryResult::kDone) return result;
    }
    client.ConnectionPassDone();
    return EntryResult::kDone;
  }
  void ExpectIdentification() {
    line.Expect("81", "C1 E9 8F");
    line.Expect("1A 80", "5A 80 31 32 33 34 35 36 37 38 39 01 02 03 04 05 06 07 08 09 0A 0B 0C");
    line.Expect("1A 92", "5A 92 31 32 33 34 35 36 37 38 39 30 31");
    line.Expect("1A 93", "5A 93 02");
    line.Expect("1A 94", "5A 94 41 42 43 44 45 46 47 48 49 4A 4B");
    line.Expect("1A 95", "5A 95 01 07");
    line.Expect("10 81", "50 81");
    line.Expect("27 05", "67 05 A5 C3");
  }

  Recorders recorders;
  Driver driver;
  ScriptedLine line;
  Client client{driver, line};
};

TEST_F(ClientTest, ConnectionPassFillsTheIdentificationAndAnswersTheChallenge) {
  ExpectIdentification();
  line.Expect("27 06 68 68", "67 06");
  line.Expect("21 36", "61 36 64");
  line.Expect("18 FA 00 00", "58 00");
  line.Expect("21 81", "61 81 00 BB 64 B0 96 14");
  line.Expect("21 82", "61 82 00 80 28 00 32 15 6E");
  EXPECT_EQ(ConnectionPass(), EntryResult::kDone);
  EXPECT_TRUE(recorders.Errors().empty());
  EXPECT_TRUE(StoreIsDataValid());
  EXPECT_EQ(StoreReadText(r::kDeviceId), "12345678901");
  EXPECT_EQ(StoreReadText(r::kSwVersion), "1.7");
  EXPECT_EQ(StoreReadText(r::kCo2Value), "100");
  EXPECT_EQ(StoreReadText(r::kFaultCount), "0");
  EXPECT_EQ(StoreReadText(r::kTemperature), "20");
  EXPECT_EQ(line.sent.size(), 13u);
}

TEST_F(ClientTest, RefusedKeyEndsThePass) {
  ExpectIdentification();
  line.Expect("27 06 68 68", "7F 27 35");
  EXPECT_EQ(ConnectionPass(), EntryResult::kLinkFault);
  EXPECT_EQ(recorders.Errors(), std::vector<std::string>{"NAK: unknown acknowlede code 0x35!"});
  EXPECT_FALSE(StoreIsDataValid());
}

TEST_F(ClientTest, UnansweredRequestIsALinkFault) {
  EXPECT_EQ(client.ExecuteRow(0), EntryResult::kLinkFault);
  EXPECT_TRUE(recorders.Errors().empty());
  ASSERT_EQ(line.sent.size(), 1u);
  EXPECT_EQ(line.sent[0], Hex("81"));
}

TEST_F(ClientTest, BuilderWithNothingToSendCountsAsDone) {
  // No fault codes known: the status row sends nothing.
  EXPECT_EQ(client.ExecuteRow(11), EntryResult::kDone);
  EXPECT_TRUE(line.sent.empty());
}

TEST_F(ClientTest, RoutineAnswerAndRows) {
  EXPECT_EQ(client.StateAfter(EntryResult::kDatasetRead), WorkerState::kRequests);
  EXPECT_TRUE(client.RowApplies(17));
}

TEST_F(ClientTest, FreeTelegramGoesOutWithItsAddressesAtHousekeeping) {
  driver.transport.SessionRunning().Set();
  FreeTelegram telegram;
  telegram.deviceAddress = 0x52;
  telegram.sourceAddress = 0xF2;
  telegram.length = 2;
  telegram.data[0] = 0x21;
  telegram.data[1] = 0x81;
  telegram.viewAnswer = 1;
  ASSERT_EQ(driver.SendFreeTelegram(&telegram), 1);
  line.Expect("21 81", "61 81 00 BB 64 B0 96 14");
  EXPECT_TRUE(client.Housekeeping());
  ASSERT_EQ(line.addressed.size(), 1u);
  EXPECT_EQ(line.addressed[0], (std::pair<std::uint8_t, std::uint8_t>{0x52, 0xF2}));
  EXPECT_EQ(recorders.CountMessages(UM_PROTOCOLSTART), 1u);
  EXPECT_EQ(recorders.CountMessages(UM_PROTOCOLSTOP), 1u);
  // Nothing queued: nothing sent.
  EXPECT_TRUE(client.Housekeeping());
  EXPECT_EQ(line.sent.size(), 1u);
  // Unanswered: the link is lost.
  ASSERT_EQ(driver.SendFreeTelegram(&telegram), 1);
  EXPECT_FALSE(client.Housekeeping());
  // A telegram longer than a keyword frame holds, or an empty one, is refused.
  telegram.length = 33;
  EXPECT_EQ(driver.SendFreeTelegram(&telegram), 0);
  telegram.length = 0;
  EXPECT_EQ(driver.SendFreeTelegram(&telegram), 0);
  driver.transport.SessionRunning().Reset();
  telegram.length = 2;
  EXPECT_EQ(driver.SendFreeTelegram(&telegram), 0);
}

}  // namespace
}  // namespace heatdiag::d06
