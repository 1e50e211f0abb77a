// The debug window's side of the debug mode, without the window: it starts and polls the mode
// through the selected driver on each 200 ms tick, passes the user's actions on, and turns the
// DebugState into the texts the window shows, adding each state change to the protocol. The
// desktop dialog and `heatdiag-cli debug` both run on it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "debug/sequence_header.h"
#include "debug/sequence_state.h"

namespace heatdiag {

// Texts of the debug mode (string ids).
inline constexpr std::uint32_t kTextDebugCannotStart = 36000;  // "Debug mode cannot be started!"

// Actions the window requests (DebugState::action).
enum DebugAction : std::uint16_t {
  kDebugLeave = 0,
  kDebugStop = 1,  // also the start
  kDebugRun = 2,
  kDebugStep = 3,
  kDebugStepNow = 4,
};

// Special function numbers of the last jump.
inline constexpr std::uint16_t kJumpRestart = 0xFF;
inline constexpr std::uint16_t kJumpTimer = 0xFE;
inline constexpr std::uint16_t kJumpDiagnosticMessage = 0xFD;
inline constexpr std::uint16_t kJumpSpecialFunction = 0xFC;

struct DebugButtons {
  bool run = false;
  bool stop = false;
  bool step = false;
  bool stepNow = false;
  bool set = false;
  bool operator==(const DebugButtons&) const = default;
};

// Which buttons the mode the unit is in allows.
DebugButtons DebugButtonsForMode(std::uint16_t mode);
// "last Jump": empty for none, the special jumps by their texts, else the function's name.
std::string LastJumpText(std::uint16_t jump, const SequenceNames& names);
// A state's name, empty while it is unknown (0xFFFF).
std::string DebugStateText(std::uint16_t state, const SequenceNames& names);

// What the window shows after a refresh.
struct DebugDisplay {
  std::string current;
  std::string last;
  std::string lastJump;
  std::string runTimeSet;
  std::string runTimeActual;
  DebugButtons buttons;
  // The protocol line of a state change seen by this refresh, and its seconds.
  std::optional<std::string> stateChange;
  int stateChangeSeconds = 0;
};

// The program's one block, shared with the driver.
DebugState& ProgramDebugState();

class DebugSession {
 public:
  using Clock = std::function<std::int64_t()>;  // milliseconds, steady

  DebugSession(DebugState& state, SequenceNames& names, Clock clock = {});
  DebugSession(const DebugSession&) = delete;
  DebugSession& operator=(const DebugSession&) = delete;

  // Opening the window: resets the block (its window set to `window`) and loads the header.
  void Open(MessageTarget* window, const std::string& headerPath);
  bool IsOpen() const { return open_; }

  enum class TickOutcome {
    kNothing,
    kRefresh,  // the window refreshes
    kFailed,   // the mode could not be started or was given up: the window exits and reports
  };
  // One tick of the window's timer.
  TickOutcome Tick();

  // The buttons: "&Run", "&Step", "Step &Now" and "Sto&p"; passed on when a session runs.
  void RequestAction(DebugAction action);
  // "Se&t": the state chosen in the list.
  void SetNewState(std::uint16_t state);
  // Reloads the header ("..."): the state list changes with it.
  void LoadHeader(const std::string& headerPath);
  // "&Exit": leaves the mode; the window field is cleared.
  void Exit();

  // The window's refresh: texts from the block, and the state change, which also goes to the
  // protocol.
  DebugDisplay Refresh();
  // The entries of the list "new": the names of states 0 .. StateCount - 1.
  std::vector<std::string> StateList() const;

 private:
  void Reset(MessageTarget* window);
  std::int64_t Now() const;

  DebugState& state_;
  SequenceNames& names_;
  Clock clock_;
  bool open_ = false;
  MessageTarget* window_ = nullptr;
  std::int64_t changeTimeMs_ = 0;
};

}  // namespace heatdiag
