#include "debug/sequence_header.h"

#include <fstream>
#include <optional>
#include <string_view>

namespace heatdiag {
namespace {

// Lines, names and comments are read up to this many characters.
constexpr std::size_t kLineChars = 255;
constexpr std::string_view kStateMarker = "$$STATE$$";
constexpr std::string_view kFunctionMarker = "$$FUNC$$";
constexpr std::string_view kDefine = "#define";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool EndsName(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view SkipBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view TrimEnd(std::string_view text) {
  while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r' || text.back() == '\n'))
    text.remove_suffix(1);
  return text;
}

std::string NumberName(std::size_t number) {
  return "<" + std::to_string(number) + ">";
}

// One "#define NAME VALUE ..." line, split.
struct Definition {
  std::string_view name;
  std::optional<std::size_t> value;  // none: no digit, or 256 or more
  std::string_view rest;             // after the value's text and the blanks behind it
};

// Nullopt when the line does not start with "#define".
std::optional<Definition> ParseDefinition(std::string_view line) {
  line = SkipBlanks(line);
  if (!line.starts_with(kDefine)) return std::nullopt;
  line = SkipBlanks(line.substr(kDefine.size()));
  Definition definition;
  std::size_t nameEnd = 0;
  while (nameEnd < line.size() && !EndsName(line[nameEnd])) ++nameEnd;
  definition.name = line.substr(0, std::min(nameEnd, kLineChars));
  line = SkipBlanks(line.substr(nameEnd));
  // Decimal digits at the start of the value; "0x10" reads as 0 and a suffix such as U is
  // ignored.
  std::size_t digits = 0;
  std::size_t value = 0;
  while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') {
    if (value < kSequenceNumbers) value = value * 10 + static_cast<std::size_t>(line[digits] - '0');
    ++digits;
  }
  if (digits > 0 && value < kSequenceNumbers) definition.value = value;
  std::size_t valueEnd = digits;
  while (valueEnd < line.size() && !EndsName(line[valueEnd])) ++valueEnd;
  definition.rest = SkipBlanks(line.substr(valueEnd));
  return definition;
}

std::string Cut(std::string_view name) {
  return std::string(name.substr(0, std::min(name.size(), kSequenceNameChars)));
}

// The state rule: false ends the state block.
bool StateLine(std::string_view line, SequenceNames& names) {
  if (names.stateCount >= static_cast<int>(kSequenceNumbers)) return false;
  const std::optional<Definition> definition = ParseDefinition(line);
  if (!definition || !definition->value) return false;
  const std::size_t value = *definition->value;
  names.stateNames[value] = Cut(definition->name);
  names.stateCount = std::max(names.stateCount, static_cast<int>(value) + 1);
  return true;
}

// The function rule: as the state rule, but a bad value only skips the line, and a comment
// behind the value names the function.
bool FunctionLine(std::string_view line, SequenceNames& names) {
  if (names.functionCount >= static_cast<int>(kSequenceNumbers)) return false;
  const std::optional<Definition> definition = ParseDefinition(line);
  if (!definition) return false;
  if (!definition->value) return true;
  const std::size_t value = *definition->value;
  std::string_view name = definition->name;
  if (definition->rest.starts_with("//")) {
    std::string_view comment = SkipBlanks(definition->rest.substr(2));
    comment = comment.substr(0, std::min(comment.size(), kLineChars));
    if (!comment.empty()) name = comment;
  }
  names.functionNames[value] = Cut(name);
  names.functionCount = std::max(names.functionCount, static_cast<int>(value) + 1);
  return true;
}

enum class Block { kBefore, kInside, kFinished };

}  // namespace

void SequenceNames::Reset() {
  for (std::size_t n = 0; n < kSequenceNumbers; ++n) {
    stateNames[n] = NumberName(n);
    functionNames[n] = NumberName(n);
  }
  stateCount = 0;
  functionCount = 0;
}

std::string SequenceNames::State(std::size_t number) const {
  return number < kSequenceNumbers ? stateNames[number] : NumberName(number);
}

std::string SequenceNames::Function(std::size_t number) const {
  return number < kSequenceNumbers ? functionNames[number] : NumberName(number);
}

void ReadSequenceHeader(std::istream& in, SequenceNames& names) {
  names.Reset();
  Block state = Block::kBefore;
  Block function = Block::kBefore;
  std::string text;
  while ((state != Block::kFinished || function != Block::kFinished) && std::getline(in, text)) {
    std::string_view line(text);
    line = TrimEnd(line.substr(0, std::min(line.size(), kLineChars)));
    if (line.empty()) continue;
    // Once its marker was seen, the state block takes every line until it ends, the ending line
    // included.
    if (state == Block::kInside) {
      if (!StateLine(line, names)) state = Block::kFinished;
      continue;
    }
    if (state == Block::kBefore && line.find(kStateMarker) != std::string_view::npos) {
      state = Block::kInside;
      continue;
    }
    if (function == Block::kInside) {
      if (!FunctionLine(line, names)) function = Block::kFinished;
    } else if (function == Block::kBefore && line.find(kFunctionMarker) != std::string_view::npos) {
      function = Block::kInside;
    }
  }
}

void LoadSequenceHeader(const std::string& path, SequenceNames& names) {
  names.Reset();
  std::ifstream in(path);
  if (!in) return;
  ReadSequenceHeader(in, names);
}

SequenceNames& ProgramSequenceNames() {
  static SequenceNames names;
  return names;
}

void LoadSequenceHeader(const std::string& path) {
  LoadSequenceHeader(path, ProgramSequenceNames());
}

}  // namespace heatdiag
