#include "base/string_table.h"

namespace heatdiag {
namespace {

constexpr StringEntry kTexts[] = {
    {0, ""},  // the table starts at index 1
    {20111, "Save summary"},
    {20112, "View summary"},
    {20114, "Report file"},
    {22025, "Cannot open file %s!"},
    {22026, "Cannot create file %s!"},
    {23000, "KELVAR"},
    {23001, "Calorics"},
    {23002, "page %d of %d"},
    {23003, "Diagnosis report"},
    {23004, "Configuration:"},
    {23005, "Operating data:"},
    {23006, "Error:"},
    {25004, "Text file (*.txt)"},
    {25005, "*.txt"},
    {25006, "All files (*.*)"},
    {25007, "*.*"},
    // "Save summary as PDF..." (command 32865; its menu text at the id - 700).
    {32165, "Save summary as &PDF..."},
    {32865, "Save report of important device data as PDF file"},
    // Dialog 158 "Description for printout" and dialog 162 "Text view".
    {37000, "Description for printout"},
    {37001, "OK"},
    {37002, "Cancel"},
    {37003, "Text view"},
    {37004, "&Print..."},
    // Saving the summary as a PDF file.
    {37010, "Save summary as PDF"},
    {37011, "PDF file (*.pdf)"},
    {37012, "*.pdf"},
};

}  // namespace

std::span<const StringEntry> ReportTexts() {
  return std::span(kTexts).subspan(1);
}

}  // namespace heatdiag
