// D06, the keyword-link water heater driver: its driver state, its poll table and the
// operations of its device table record.
//
// The program has one D06 (TheDriver()); its record's operations act on it. Tests may build
// drivers of their own.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>

#include "drivers/keyword/d06_client.h"
#include "drivers/kit/keyword_checks.h"
#include "drivers/kit/keyword_line.h"
#include "drivers/kit/keyword_reply.h"
#include "drivers/kit/session.h"
#include "drivers/kit/state_log.h"
#include "link/hbus_transport.h"
#include "link/keyword_frame.h"
#include "link/link_worker.h"
#include "link/poll_client.h"
#include "link/serial_port.h"
#include "service/free_telegram.h"

namespace heatdiag {
struct ComponentList;
}

namespace heatdiag::d06 {

// Bits of the request word, by the poll row they ask for.
namespace bit {
inline constexpr std::uint32_t kComponentTest = 0x2;   // 30 cc 07 ss
inline constexpr std::uint32_t kFaultList = 0x4;       // 18 FA 00 00
inline constexpr std::uint32_t kCo2Write = 0x10;       // 3B 36 vv 00
inline constexpr std::uint32_t kRoutineSecond = 0x20;  // 31 03, second row
inline constexpr std::uint32_t kRoutineFirst = 0x40;   // 31 03, first row
inline constexpr std::uint32_t kClearFaults = 0x80;    // 14 00 00
inline constexpr std::uint32_t kFaultStatus = 0x100;   // 17 hh ll
}  // namespace bit

// The link of this family.
inline constexpr std::uint8_t kTargetAddress = 0x51;
inline constexpr std::uint8_t kSourceAddress = 0xF1;
inline constexpr std::uint8_t kKeyBytes[2] = {0xE9, 0x8F};

// The access answer to the unit's challenge: k = (rotate-left-16(s XOR 0x2F6B, 5) + 0x1357)
// mod 65536.
std::uint16_t AccessKey(std::uint16_t seed);

// The number under which the fault list shows a fault (fault text 12000 + number), from its
// 16-bit code and the low four bits of its status byte; 255 for an unknown code.
std::uint8_t FaultNumber(std::uint16_t code, std::uint8_t status);

// Component test telegram 30 cc 07 ss: cc the component's bit, ss 1 on, 0 off.
inline constexpr std::uint8_t kAllComponents = 0x1F;
inline constexpr std::uint32_t kComponentPositions = 5;  // positions 1..5 of the list
// The bit of component list position 1..5 (0x01 .. 0x10); 0 for any other position.
std::uint8_t ComponentBit(std::uint32_t position);

// Fault codes the list can hold: a frame carries at most 32 data bytes, 3 per fault.
inline constexpr std::size_t kMaxFaultCodes = 10;

// What the driver remembers about the unit and the requests in flight between its operations
// and its builders and handlers. Reset when a session starts.
struct DriverState {
  // Fault memory (worker thread).
  std::array<std::uint16_t, kMaxFaultCodes> faultCodes{};
  std::uint8_t faultCount = 0;       // as last reported
  std::uint8_t faultCursor = 0;      // block whose status is asked for next
  std::uint8_t faultsRemaining = 0;  // statuses still to ask for in the current chain
  bool overheat = false;             // the overheat flag last reported

  // Access protection: the unit's challenge.
  std::uint16_t seed = 0;
  bool seedKnown = false;
  // The unit answered the start request with other key bytes.
  std::atomic<bool> keywordError{false};

  // Component test. The operations write the wanted command, then set the request bit; the
  // builder keeps track of what it has switched on.
  std::atomic<std::uint8_t> wantedBits{0};
  std::atomic<std::uint8_t> wantedState{0};
  std::uint8_t switchedOn = 0;  // bit of the component the tester switched on last, 0 none

  // CO2 value to write.
  std::atomic<std::uint8_t> co2Value{0};

  kit::StateChangeLog stateLog;

  // A free telegram handed over by SendFreeTelegram, sent at the worker's next housekeeping.
  std::mutex freeTelegramLock;
  FreeTelegram freeTelegram{};
  std::atomic<bool> freeTelegramPending{false};

  // Counters of the fault memory's traffic, never reset: clearings the unit confirmed and
  // complete reads of the fault memory. A caller that cleared waits for them to move on.
  std::atomic<std::uint32_t> faultClearsConfirmed{0};
  std::atomic<std::uint32_t> faultReadsCompleted{0};

  void Reset();
};

class Driver {
 public:
  Driver();
  ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  DriverState state;

 private:
  KeywordFraming framing_{kTargetAddress, kSourceAddress};
  bool portChosen_ = false;  // otherwise the port of the settings
  std::uint32_t portNumber_ = 1;
  std::string devicePath_;
  SerialPort* port_ = nullptr;
  bool initialised_ = false;

 public:
  // The line transport with the keyword framing in its line slot. (The link worker takes the
  // H-Bus transport type; only its LineTransport part is used.)
  HBusTransport transport;
  kit::KeywordLine line{transport, framing_};
  Client client{*this, line};
  // Request word, probe flags and request-done event of the session.
  LinkWorker facts{client, transport};

  // --- What the handlers use -----------------------------------------------------------------
  void Request(std::uint32_t bits) { facts.Request(bits); }
  bool ProbeMode() const { return facts.ProbeMode(); }
  // Messages are shown outside a device search probe only.
  keyword::Report Messages() const {
    return ProbeMode() ? keyword::Report::kSilent : keyword::Report::kShow;
  }

  // What a row's result leads the worker to. The routine answer (31 03) gives kDatasetRead:
  // this family has no block transfer, so it sends the worker to its request state (6), from
  // where polling goes on; kDatasetWrite does the same. Other results are not block phases.
  static WorkerState StateAfter(EntryResult result);

  // --- Program start and exit ------------------------------------------------------------------
  void Init();
  void Shutdown();

  // --- Sessions ------------------------------------------------------------------------------
  // The port the next session opens: a number 1..9 or, when devicePath is set, that device.
  void SetPort(std::uint32_t portNumber, const std::string& devicePath = {});
  int IsSessionActive() { return transport.SessionRunning().IsSet() ? 1 : 0; }
  int StartSession();
  void StopSession();
  int ProbeDevice();
  bool StopRequested() const { return transport.StopRequested(); }
  // Writes the CO2 value and waits for the unit's answer; 1 when it took it.
  int SetCo2Value(std::uint8_t value);

  // --- Operations of the record that need no link ----------------------------------------------
  // Requests are placed only while a session runs (0 otherwise: nobody would serve them).
  int HasFaults() const;
  int IsFunctionAvailable(std::uint32_t function) const;
  int GetComponentList(ComponentList* list) const;
  int RunOwnComponentTest() const;
  int StartComponent(std::uint32_t component, std::uint32_t value, std::uint32_t runTime);
  void StopComponentTest();
  void ClearFaults();
  // Queues the telegram (at most 32 data bytes, the most a keyword frame holds).
  int SendFreeTelegram(const FreeTelegram* telegram);
  void GetCo2Range(std::uint8_t* lowest, std::uint8_t* highest, std::uint8_t* current) const;
};

// The program's D06.
Driver& TheDriver();

}  // namespace heatdiag::d06
