// The sequence header: a C header of the control unit's firmware whose marked blocks of
// "#define" lines name the state numbers and the function numbers that the debug mode shows.
//
//   /* $$STATE$$ */                              starts the state block
//   #define ST_IDLE 0                            state 0 is "ST_IDLE"
//   (any other line)                             ends it
//   // $$FUNC$$                                  starts the function block
//   #define F_FAN 12 // Combustion air fan       function 12 is "Combustion air fan"
//
// Nothing is ever reported: a number without a definition reads as its number in angle brackets.
#pragma once

#include <array>
#include <cstddef>
#include <istream>
#include <string>

namespace heatdiag {

inline constexpr std::size_t kSequenceNumbers = 256;
inline constexpr std::size_t kSequenceNameChars = 79;

struct SequenceNames {
  std::array<std::string, kSequenceNumbers> stateNames;
  std::array<std::string, kSequenceNumbers> functionNames;
  int stateCount = 0;     // one more than the highest state number defined, 0 when none
  int functionCount = 0;  // the same for the functions

  SequenceNames() { Reset(); }
  // Every entry "<n>", both counts 0.
  void Reset();
  // The name of a state or function number; "<n>" for a number beyond the tables.
  std::string State(std::size_t number) const;
  std::string Function(std::size_t number) const;
};

// Resets the tables and fills them from the header's lines.
void ReadSequenceHeader(std::istream& in, SequenceNames& names);
// The same from a file; a file that cannot be opened leaves the tables reset.
void LoadSequenceHeader(const std::string& path, SequenceNames& names);

// The program's tables, shown by the debug window (GUI thread).
SequenceNames& ProgramSequenceNames();
void LoadSequenceHeader(const std::string& path);

}  // namespace heatdiag
