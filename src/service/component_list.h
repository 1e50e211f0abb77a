// The components a driver offers for the component test dialog.
#pragma once

#include <array>
#include <cstdint>

namespace heatdiag {

inline constexpr std::size_t kComponentEntries = 16;  // entry 0 is "all off"
inline constexpr std::size_t kComponentNameSize = 40;
inline constexpr std::size_t kComponentUnitSize = 20;

struct ComponentList {
  // An empty name: the component does not exist. An empty unit: no set value.
  std::array<std::array<char, kComponentNameSize>, kComponentEntries> names{};
  std::array<std::array<char, kComponentUnitSize>, kComponentEntries> units{};
  std::array<std::uint32_t, kComponentEntries> decimals{};
  std::array<std::uint32_t, kComponentEntries> divisors{};
  std::uint32_t setValueAvailable = 0;
  std::uint32_t runTimeAvailable = 0;
};

}  // namespace heatdiag
