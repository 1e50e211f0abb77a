// The virtual heater's scenario files: the input is the text of a file, read as
// `heatsim --scenario FILE`, the desktop program's and heatdiag-cli's --virtual-heater FILE
// read it (the built-in unit of its version, then the file's changes, then the checks). A
// scenario that loads must make a unit that answers the requests its layout is read with.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <unistd.h>

#include "control_unit.h"
#include "scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Through a file, as the programs read it.
  static const std::string path = [] {
    std::string p = "/tmp/heatdiag-fuzz-scenario-" + std::to_string(getpid());
    std::atexit(
        [] { std::remove(("/tmp/heatdiag-fuzz-scenario-" + std::to_string(getpid())).c_str()); });
    return p;
  }();
  {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  heatsim::Scenario scenario;
  std::string error;
  if (!heatsim::LoadScenario(path, "", &scenario, &error)) {
    if (error.empty()) __builtin_trap();  // a failure always says why
    return 0;
  }
  heatsim::ControlUnit unit(scenario, [] { return heatsim::Millis(0); });
  const auto ask = [&unit](std::initializer_list<std::uint8_t> payload) {
    heatsim::Bytes t = {0xF4, static_cast<std::uint8_t>(payload.size() + 1)};
    t.insert(t.end(), payload);
    t.push_back(heatsim::Xor(t));
    unit.OnTelegram(t);
  };
  ask({0x51, 0x0A});        // version
  ask({0x57, 0x01});        // CO2 values
  ask({0x56, 0x01});        // fault memory
  ask({0x34, 0x40, 0x00});  // block mode, as the dataset read begins
  const auto& e = unit.Setup().eeprom;
  // The layout the unit announces lies inside its own memory.
  if (e.start >= e.content.size() || e.checksumEnd >= e.content.size() ||
      e.checksumAddress >= e.content.size()) {
    __builtin_trap();
  }
  return 0;
}
