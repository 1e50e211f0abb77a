#include "dataset/eol_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/frame_sink.h"
#include "base/string_table.h"
#include "dataset/dataset_texts.h"

namespace heatdiag {
namespace {

constexpr std::size_t kMaxLineChars = 1023;
const std::string kSeparator = ";" + std::string(73, '*');

// An unsigned hexadecimal number after blanks and an optional 0x: the value and whether a digit
// was read. `pos` moves behind the number.
struct HexNumber {
  std::uint32_t value = 0;
  bool digits = false;
};

HexNumber ReadHex(const std::string& line, std::size_t& pos) {
  while (pos < line.size() && std::isspace(static_cast<unsigned char>(line[pos]))) ++pos;
  if (pos + 1 < line.size() && line[pos] == '0' && (line[pos + 1] == 'x' || line[pos + 1] == 'X') &&
      pos + 2 < line.size() && std::isxdigit(static_cast<unsigned char>(line[pos + 2])))
    pos += 2;
  HexNumber n;
  while (pos < line.size() && std::isxdigit(static_cast<unsigned char>(line[pos]))) {
    const auto c = static_cast<unsigned char>(line[pos]);
    const std::uint32_t digit =
        std::isdigit(c) ? c - '0' : static_cast<std::uint32_t>(std::toupper(c) - 'A' + 10);
    // Saturate: a long run of digits is simply too large.
    n.value = n.value > 0xFFFFFF ? 0x10000000 : n.value * 16 + digit;
    n.digits = true;
    ++pos;
  }
  return n;
}

EolFileError Failure(std::uint32_t caption, std::uint32_t textId, const std::string& text,
                     int line = 0) {
  return EolFileError{caption, textId, text, line};
}

void Report(const EolFileError& error) {
  ShowThreadMessage(error.captionId, error.textId, error.text);
}

}  // namespace

bool ParseEolText(std::istream& in, DatasetImage* image, EolFileError* error) {
  if (image == nullptr || !image->HasCells()) return false;
  for (DatasetCell& cell : image->cells) cell = DatasetCell{};
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (line.size() > kMaxLineChars) line.resize(kMaxLineChars);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::size_t pos = 0;
    while (pos < line.size() && std::isspace(static_cast<unsigned char>(line[pos]))) ++pos;
    if (pos == line.size() || line[pos] == ';' || line[pos] == '"') continue;
    const HexNumber address = ReadHex(line, pos);
    if (address.value < image->start) continue;
    const auto syntaxError = [&] {
      if (error != nullptr)
        *error = Failure(kTextReadEolCaption, kTextSyntaxError,
                         FormatText(LoadString(kTextSyntaxError), number), number);
      return false;
    };
    if (!address.digits || address.value >= image->size || address.value >= image->cells.size())
      return syntaxError();
    const HexNumber value = ReadHex(line, pos);
    if (!value.digits || value.value > 0xFF) return syntaxError();
    DatasetCell& cell = image->cells[address.value];
    if ((cell.flags & CELL_VALID) != 0) return syntaxError();
    const auto byte = static_cast<std::uint8_t>(value.value);
    cell = DatasetCell{byte, CELL_VALID | CELL_CHANGED, byte};
  }
  return true;
}

std::string EolTimeText(const std::tm& t) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[64];
  std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %04d", kDays[(t.tm_wday % 7 + 7) % 7],
                kMonths[(t.tm_mon % 12 + 12) % 12], t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                t.tm_year + 1900);
  return text;
}

void FormatEolText(std::ostream& out, const DatasetImage& image, const std::tm& localTime) {
  out << kSeparator << '\n' << "; " << EolTimeText(localTime) << '\n' << kSeparator << '\n';
  const std::size_t end = std::min<std::size_t>(image.size, image.cells.size());
  char line[32];
  for (std::size_t a = image.start; a < end; ++a) {
    const unsigned v = image.cells[a].value;
    std::snprintf(line, sizeof line, "%04X    %02X    %d\n", static_cast<unsigned>(a), v, v);
    out << line;
  }
  out << kSeparator << '\n';
}

bool ReadEolFile(const std::string& path, DatasetImage* image, EolFileError* error) {
  std::ifstream in(path);
  if (!in) {
    if (error != nullptr)
      *error = Failure(kTextReadEolCaption, kTextCannotOpenFile,
                       FormatText(LoadString(kTextCannotOpenFile), path));
    return false;
  }
  return ParseEolText(in, image, error);
}

bool WriteEolFile(const std::string& path, const DatasetImage& image, EolFileError* error) {
  const auto fail = [&](std::uint32_t textId) {
    if (error != nullptr)
      *error = Failure(kTextWriteEolCaption, textId, FormatText(LoadString(textId), path));
    return false;
  };
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::ostringstream text;
  FormatEolText(text, image, local);
  const std::string body = text.str();

  // The temporary file lies beside the target, so that the rename stays on one file system.
  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return fail(kTextCannotCreateFile);
  bool ok = true;
  std::size_t written = 0;
  while (ok && written < body.size()) {
    const ssize_t n = ::write(fd, body.data() + written, body.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) ok = false;
    if (n > 0) written += static_cast<std::size_t>(n);
  }
  // A file replaced keeps its permissions; a new one is readable by all (mkstemp gives 0600).
  struct stat old {};
  const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  if (ok) ok = ::fchmod(fd, mode) == 0;
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!ok) {
    std::remove(temporary.c_str());
    return fail(kTextCannotWriteFile);
  }
  return true;
}

bool ReadEolFileReporting(const std::string& path, DatasetImage* image) {
  EolFileError error;
  if (ReadEolFile(path, image, &error)) return true;
  Report(error);
  return false;
}

bool WriteEolFileReporting(const std::string& path, const DatasetImage& image) {
  EolFileError error;
  if (WriteEolFile(path, image, &error)) return true;
  Report(error);
  return false;
}

}  // namespace heatdiag
