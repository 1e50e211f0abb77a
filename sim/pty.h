// The pseudo-terminal that stands for the diagnosis adapter's serial port. The heater keeps a
// descriptor of the terminal side open itself, so that the tester may close and reopen the
// port between sessions without the heater's side seeing a hang-up.
#pragma once

#include <string>

namespace heatsim {

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;
  PseudoTerminal(PseudoTerminal&& other) noexcept;
  PseudoTerminal& operator=(PseudoTerminal&& other) noexcept;
  ~PseudoTerminal();

  // Opens a new pair, both sides raw (no echo, no translation). False with a message on failure.
  bool Open(std::string* error);
  void Close();

  // Sets the terminal side's speed back to where a new pair starts, all else unchanged.
  void ForgetLineSpeed();

  bool IsOpen() const { return master_ >= 0; }
  int MasterFd() const { return master_; }  // non-blocking
  const std::string& Path() const { return path_; }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

}  // namespace heatsim
