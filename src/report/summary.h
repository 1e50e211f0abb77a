// The diagnosis summary ("Diagnosis report"): a plain-text digest of the current diagnosis with
// an optional description, the configuration data, the operating data and the fault memory, each
// value on one dotted line. The same text goes into the summary file and onto paper; only the
// frame around it differs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace heatdiag {

// Texts of the report (string ids).
inline constexpr std::uint32_t kTextCompanyFirst = 23000;   // "KELVAR"
inline constexpr std::uint32_t kTextCompanySecond = 23001;  // "Calorics"
inline constexpr std::uint32_t kTextPageOf = 23002;         // "page %d of %d"
inline constexpr std::uint32_t kTextReportTitle = 23003;    // "Diagnosis report"
inline constexpr std::uint32_t kTextConfiguration = 23004;
inline constexpr std::uint32_t kTextOperatingData = 23005;
inline constexpr std::uint32_t kTextErrorHeading = 23006;
inline constexpr std::uint32_t kTextSaveSummaryCaption = 20111;  // "Save summary"
inline constexpr std::uint32_t kTextViewSummaryCaption = 20112;  // "View summary"
inline constexpr std::uint32_t kTextReportFileTitle = 20114;     // "Report file"
inline constexpr std::uint32_t kTextCannotOpenFile = 22025;      // "Cannot open file %s!"
inline constexpr std::uint32_t kTextCannotCreateFile = 22026;    // "Cannot create file %s!"
inline constexpr std::uint32_t kTextReportFilterFirst = 25004;   // 25004..25007: name, pattern

inline constexpr std::size_t kDescriptionChars = 1023;
inline constexpr std::size_t kReportWidth = 100;
// Values end in this column of an item line.
inline constexpr std::size_t kValueEndColumn = 92;
inline constexpr std::size_t kReportUnitChars = 12;
// The text view reads at most this much of a summary file.
inline constexpr std::size_t kTextViewBytes = 65535;

// One item line: two blanks, the name, dots, the value ending in column 92, a blank, the unit.
// Lengths count characters (UTF-8 code points).
std::string SummaryItemLine(std::string name, std::string value, std::string_view unit);

// The summary of the store's current data; empty when the store holds no items.
std::string BuildSummary(std::string_view description);

// `left`, blanks and `right` filling exactly `width` characters; without blanks when they do not
// fit.
std::string PadBetween(std::string_view left, std::string_view right,
                       std::size_t width = kReportWidth);
// "KELVAR Calorics".
std::string CompanyText();
// ProductName, two blanks, ProductVersion.
std::string ProductText();
// "dd.mm.yy  hh:mm:ss" of a local time.
std::string ReportDateTime(std::time_t when);

// The file format: title line, dashes, the summary (carriage returns removed), dashes and the
// footer with date, time and product.
std::string SummaryFileText(std::string_view summary, std::string_view dateTime);

// Writes a file so that a failure never leaves half of one where a good one stood: the text
// goes into a temporary file beside the target, which replaces the target once it is complete
// and flushed. Without Commit the temporary file is removed again.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates the temporary file; false when the folder cannot take it.
  bool Create(const std::string& path);
  bool Commit(std::string_view text);
  void Discard();

 private:
  std::string path_;
  std::string temporary_;
  int fd_ = -1;
};

// The summary file of command 32867 in one step; false when it cannot be created or written.
bool WriteSummaryFile(const std::string& path, std::string_view summary, std::time_t when);

// At most `limit` bytes of a file; nullopt-like: `ok` false when it cannot be opened.
std::string ReadFileHead(const std::string& path, std::size_t limit, bool* ok);

}  // namespace heatdiag
