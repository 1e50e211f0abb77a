// Texts of the string table with several "%s" places, filled in order. Unlike printf, a '%' in an
// argument (a device name, a program name) is taken as it is.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/string_table.h"

namespace heatdiag {

inline std::string FillIn(std::string_view text, std::initializer_list<std::string_view> args) {
  std::string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
      if (next != args.end()) out += *next++;
      ++i;
      continue;
    }
    out += text[i];
  }
  return out;
}

inline std::string FillIn(std::uint32_t textId, std::initializer_list<std::string_view> args) {
  return FillIn(LoadString(textId), args);
}

}  // namespace heatdiag
