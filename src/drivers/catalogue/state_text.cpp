#include <string_view>

#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"

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

// The text, then the separator and the number in decimal.
std::string WithNumber(std::string_view text, std::string_view separator, int number) {
  std::string result(text);
  result.append(separator);
  result.append(std::to_string(number));
  return result;
}

// A state text with its number; a number of 0 is not shown.
std::string StateWithNumber(std::string_view text, std::string_view separator, int number) {
  return number != 0 ? WithNumber(text, separator, number) : std::string(text);
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
  if (entry == nullptr) return WithNumber(LongPart(TextOf(kUnknownStateTextId)), " ", code);
  return StateWithNumber(LongPart(TextOf(entry->textId)), " ", ShownNumber(*entry, number));
}

std::string StateShortText(StateNameTable table, std::uint8_t code, int number) {
  const StateNameEntry* entry = FindState(table, code);
  if (entry == nullptr) return WithNumber(ShortPart(TextOf(kUnknownStateTextId)), " ", code);
  return StateWithNumber(ShortPart(TextOf(entry->textId)), "", ShownNumber(*entry, number));
}

}  // namespace heatdiag
