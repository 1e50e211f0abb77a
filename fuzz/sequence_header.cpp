// Sequence header files as the debug mode loads them; every name stays within its length and
// every count within the tables.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "debug/sequence_header.h"

using namespace heatdiag;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  SequenceNames names;
  ReadSequenceHeader(in, names);
  if (names.stateCount < 0 || names.stateCount > static_cast<int>(kSequenceNumbers) ||
      names.functionCount < 0 || names.functionCount > static_cast<int>(kSequenceNumbers))
    __builtin_trap();
  for (std::size_t n = 0; n < kSequenceNumbers; ++n)
    if (names.State(n).size() > kSequenceNameChars || names.Function(n).size() > kSequenceNameChars)
      __builtin_trap();
  return 0;
}
