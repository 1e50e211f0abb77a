#include "report/summary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/diag_store.h"
#include "views/fault_texts.h"

namespace heatdiag {
namespace {

constexpr std::size_t kNameChars = 255;
constexpr std::size_t kValueChars = 255;
// An item line holds name, value and at least four dots in 90 characters.
constexpr std::size_t kItemChars = 90;
constexpr std::size_t kMinDots = 4;
// A long name keeps this many characters before the value is shortened.
constexpr std::size_t kShortNameChars = 20;

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t Chars(std::string_view text) {
  std::size_t count = 0;
  for (char c : text)
    if (!IsContinuation(c)) ++count;
  return count;
}

// Removes the last character (a whole UTF-8 sequence).
void DropLast(std::string& text) {
  while (!text.empty() && IsContinuation(text.back())) text.pop_back();
  if (!text.empty()) text.pop_back();
}

// The first `chars` characters.
std::string CutChars(std::string_view text, std::size_t chars) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsContinuation(text[i])) continue;
    if (count == chars) return std::string(text.substr(0, i));
    ++count;
  }
  return std::string(text);
}

bool Present(std::uint32_t row) {
  return StoreGetPresent(row) != 0;
}

bool InSection(std::uint32_t row, std::uint32_t category) {
  const std::uint32_t mask = StoreGetViewMask(row);
  return (mask & category) != 0 && (mask & kViewReport) != 0;
}

std::int32_t Integer(std::uint32_t row) {
  std::int32_t value = 0;
  StoreRead(row, kStoreS32, 0, &value);
  return value;
}

std::string ItemValue(std::uint32_t row) {
  // A value the unit has not delivered is left empty rather than shown as 0.
  if (StoreGetShown(row) == 0) return {};
  const std::uint32_t mask = StoreGetViewMask(row);
  if ((mask & kViewFaultHeading) != 0) return FaultShortText(Integer(row));
  if ((mask & kViewFaultState) != 0) return FaultStateText(Integer(row));
  return CutChars(StoreReadText(row), kValueChars);
}

std::string ItemLine(std::uint32_t row, std::string_view indent) {
  std::string name(indent);
  name += CutChars(StoreGetName(row, NameForm::kLong), kNameChars);
  return SummaryItemLine(std::move(name), ItemValue(row), CutChars(StoreGetUnit(row), kNameChars));
}

void Heading(std::string& text, std::uint32_t id) {
  const std::string heading = LoadString(id, 255);
  text += '\n';
  text += heading;
  text += '\n';
  text += std::string(Chars(heading), '-');
  text += '\n';
}

void Section(std::string& text, std::uint32_t heading, std::uint32_t category) {
  const std::uint32_t rows = StoreRowCount();
  std::vector<std::uint32_t> items;
  for (std::uint32_t row = 0; row < rows; ++row)
    if (Present(row) && InSection(row, category)) items.push_back(row);
  if (items.empty()) return;
  Heading(text, heading);
  for (std::uint32_t row : items) text += ItemLine(row, "");
}

std::string FormatThree(const char* format, int a, int b, int c) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, format, a, b, c);
  return buffer;
}

// A line break inside a name or value would break the line's columns.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return text;
}

}  // namespace

std::string SummaryItemLine(std::string name, std::string value, std::string_view unit) {
  name = OneLine(std::move(name));
  value = OneLine(std::move(value));
  while (Chars(name) + Chars(value) + kMinDots > kItemChars) {
    if (Chars(name) > kShortNameChars)
      DropLast(name);
    else
      DropLast(value);
  }
  std::string line = "  " + name;
  line += std::string(kItemChars - Chars(name) - Chars(value), '.');
  line += value;
  line += ' ';
  line += OneLine(CutChars(unit, kReportUnitChars));
  line += '\n';
  return line;
}

std::string BuildSummary(std::string_view description) {
  const std::uint32_t rows = StoreRowCount();
  if (rows == 0) return {};
  std::string text;
  if (!description.empty()) {
    text += CutChars(description, kDescriptionChars);
    text += '\n';
  }
  Section(text, kTextConfiguration, kViewDeviceInfo);
  Section(text, kTextOperatingData, kViewOperatingData);
  Heading(text, kTextErrorHeading);
  for (std::uint32_t row = 0; row < rows; ++row) {
    if (!Present(row) || StoreRowInGroup(row, kViewFaultList) == 0) continue;
    // Details are indented under their fault code.
    const bool code = (StoreGetViewMask(row) & kViewFaultHeading) != 0;
    text += ItemLine(row, code ? "" : "  ");
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

std::string PadBetween(std::string_view left, std::string_view right, std::size_t width) {
  std::string line(left);
  const std::size_t used = Chars(left) + Chars(right);
  if (used < width) line += std::string(width - used, ' ');
  line += right;
  return line;
}

std::string CompanyText() {
  return LoadString(kTextCompanyFirst, 255) + " " + LoadString(kTextCompanySecond, 255);
}

std::string ProductText() {
  return HEATDIAG_PRODUCT_NAME "  " HEATDIAG_PRODUCT_VERSION;
}

std::string ReportDateTime(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  const std::string date =
      FormatThree("%02d.%02d.%02d", local.tm_mday, local.tm_mon + 1, local.tm_year % 100);
  const std::string time = FormatThree("%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
  return date + "  " + time;
}

std::string SummaryFileText(std::string_view summary, std::string_view dateTime) {
  std::string text = PadBetween(LoadString(kTextReportTitle, 255), CompanyText());
  text += '\n';
  text += std::string(kReportWidth, '-');
  text += "\n\n";
  for (char c : summary)
    if (c != '\r') text += c;
  text += '\n';
  text += std::string(kReportWidth, '-');
  text += '\n';
  text += PadBetween(dateTime, ProductText());
  return text;
}

AtomicFileWriter::~AtomicFileWriter() {
  Discard();
}

bool AtomicFileWriter::Create(const std::string& path) {
  Discard();
  if (path.empty()) return false;
  path_ = path;
  std::vector<char> name(path.begin(), path.end());
  const std::string suffix = ".XXXXXX";
  name.insert(name.end(), suffix.begin(), suffix.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0) return false;
  temporary_ = name.data();
  // mkstemp makes the file private; a report is an ordinary file.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
  return true;
}

bool AtomicFileWriter::Commit(std::string_view text) {
  if (fd_ < 0) return false;
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t written = ::write(fd_, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      Discard();
      return false;
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  const bool flushed = ::fsync(fd_) == 0;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!flushed || !closed || std::rename(temporary_.c_str(), path_.c_str()) != 0) {
    Discard();
    return false;
  }
  temporary_.clear();
  return true;
}

void AtomicFileWriter::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) std::remove(temporary_.c_str());
  temporary_.clear();
}

bool WriteSummaryFile(const std::string& path, std::string_view summary, std::time_t when) {
  AtomicFileWriter writer;
  if (!writer.Create(path)) return false;
  return writer.Commit(SummaryFileText(summary, ReportDateTime(when)));
}

std::string ReadFileHead(const std::string& path, std::size_t limit, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  if (ok != nullptr) *ok = static_cast<bool>(in);
  if (!in) return {};
  std::string text(limit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(limit));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

}  // namespace heatdiag
