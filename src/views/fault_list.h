// The rows of the Fault list, built from the store's fault rows: one fault code row per stored
// fault with its state and further details indented below it, or the single row "no fault" once
// the data are complete and the unit holds none. The window (views/gui/fault_view) and the
// command line show these rows; the long description of an activated row comes from here too.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace heatdiag {

// Store categories of the fault rows.
inline constexpr std::uint32_t kFaultListMask = 0x0F00;       // every row the list shows
inline constexpr std::uint32_t kFaultCodeCategory = 0x0100;   // value: the fault code 0..255
inline constexpr std::uint32_t kFaultStateCategory = 0x0200;  // value: the fault state 0..4
inline constexpr std::size_t kFaultListMaxRows = 256;
inline constexpr std::size_t kFaultNameMaxChars = 255;  // with the detail rows' indent
inline constexpr const char* kFaultDetailIndent = "    ";
inline constexpr std::uint32_t kTextNoFaultRow = 10512;               // "no fault"
inline constexpr std::uint32_t kTextFaultDescriptionCaption = 20110;  // "Fault descrition"

struct FaultListRow {
  // The store row shown; nullopt for the "no fault" row.
  std::optional<std::uint32_t> item;
  std::string name;   // detail rows are indented by four blanks
  std::string value;  // short text, state text or the value text
  std::string unit;
};

struct FaultListRows {
  std::vector<FaultListRow> rows;  // at most 256
  // Entry r: the fault code row that list row r belongs to; rows before the first fault code
  // row (and beyond the rows) hold the store's row count, which matches no row.
  std::array<std::uint32_t, kFaultListMaxRows> rowFault{};
  std::uint32_t itemCount = 0;  // the store's row count when built
  // True when the list shows its single "no fault" row.
  bool noFault = false;
};

// Builds the rows from the store.
FaultListRows BuildFaultList();

// The value cell of a store row: for a fault code row its short text, for a fault state row its
// state text, for any other row its value text; empty unless the control unit delivered the
// value (present and shown); nullopt when the store cannot produce it.
std::optional<std::string> FaultValueText(std::uint32_t item);

// The long description shown when list row `row` is activated: "No error" while the list holds
// no fault row; the description of the fault the row belongs to; nullopt for a row that belongs
// to no fault (nothing is shown).
std::optional<std::string> FaultDescriptionOfRow(const FaultListRows& list, std::size_t row);

// One fault as the command line and the summary report give it: the fault code row and the
// rows that follow it up to the next one.
struct FaultDetail {
  std::string name;
  std::string value;
  std::string unit;
};
struct FaultRecord {
  std::uint32_t item = 0;
  std::int64_t code = 0;
  std::optional<std::int64_t> state;  // when the fault has a state row
  std::vector<FaultDetail> details;   // the rows other than the code and state rows
};
std::vector<FaultRecord> CollectFaults();

}  // namespace heatdiag
