// Wake-up patterns on the diagnosis line, built on the line break. One process-wide lock keeps
// two drivers from pulsing at the same time; each routine purges the receive side afterwards,
// since the line's own break comes back as noise. Each returns 0 only when there is no port.
#pragma once

#include <chrono>
#include <cstdint>

namespace heatdiag {

class SerialPort;

// The pulse lengths hold as the caller's clock sees them: each step counts from the moment the
// driver reported the previous change of the line done, and a change is asked for early by as
// long as the driver took for the last one (a USB adapter takes a control transfer for it).

// The H-Bus wake-up: break 25 ms, release, wait 25 ms.
int WakeShortPulse(SerialPort* port);
// The keyword link's wake-up: break 300 ms, release 50 ms, break 25 ms, release 25 ms.
int WakeKeywordPulses(SerialPort* port);
// Break for ms milliseconds, release; no wait afterwards.
int WakePulse(SerialPort* port, std::uint32_t ms);
// The address byte at 5 baud: start bit (break) 200 ms, eight data bits from the lowest (break
// while a bit is 0), stop bit (released) 200 ms; every step on one drift-free 200 ms schedule.
int WakeFiveBaud(SerialPort* port, std::uint8_t address);

// Told of every change of the line that a wake-up pattern makes, with the moment it was done
// (benchmarks and tests follow the pulses through it); nullptr: nobody is told.
using LineChangeObserver = void (*)(bool breakOn, std::chrono::steady_clock::time_point done);
void SetLineChangeObserver(LineChangeObserver observer);

}  // namespace heatdiag
