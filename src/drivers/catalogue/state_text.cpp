#include <string_view>

#include "drivers/catalogue/parameter.h"
#include "shell/string_table.h"

namespace heatdiag {
namespace {

// The two halves of a state text "SHORT\nLong text".
std::string_view ShortPart(std::string_view text) {
  return text.substr(0, text.find('\n'));
}
std::string_view LongPart(std::string_view text) {
  const auto newline = text.find('\n');
  return newline == std::string_view::npos ? text : text.substr(newline + 1);
}

std::string_view TextOf(std::uint32_t id) {
  const char* text = FindString(id);
  return text == nullptr ? std::string_view("???") : std::string_view(text);
}

// The number a state text is shown with: the telegram's, else the record's step number.
int ShownNumber(const StateNameEntry& entry, int number) {
  return number != 0 ? number : entry.shownNumber;
}

}  // namespace

const StateNameEntry* FindState(StateNameTable table, std::uint8_t code) {
  for (const StateNameEntry& entry : table) {
    if (entry.textId == 0) break;
    if (entry.code == code) return &entry;
  }
  return nullptr;
}

std::string StateText(StateNameTable table, std::uint8_t code, int number) {
  const StateNameEntry* entry = FindState(table, code);
  if (entry == nullptr) {
    return std::string(LongPart(TextOf(kUnknownStateTextId))) + " " + std::to_string(code);
  }
  std::string text(LongPart(TextOf(entry->textId)));
  const int shown = ShownNumber(*entry, number);
  if (shown != 0) text += " " + std::to_string(shown);
  return text;
}

std::string StateShortText(StateNameTable table, std::uint8_t code, int number) {
  const StateNameEntry* entry = FindState(table, code);
  if (entry == nullptr) {
    return std::string(ShortPart(TextOf(kUnknownStateTextId))) + " " + std::to_string(code);
  }
  std::string text(ShortPart(TextOf(entry->textId)));
  const int shown = ShownNumber(*entry, number);
  if (shown != 0) text += std::to_string(shown);
  return text;
}

}  // namespace heatdiag
