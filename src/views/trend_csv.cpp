#include "views/trend_csv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "drivers/catalogue/parameter.h"

namespace heatdiag {
namespace {

constexpr char kSeparator = ';';
constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";  // lets spreadsheets read "°C" as it is meant

std::string Cell(const std::string& text) {
  if (text.find_first_of(";\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

std::string TimeCell(std::int64_t newestMs, long long samplesAgo, std::uint32_t periodMs) {
  const long long ageMs = samplesAgo * static_cast<long long>(periodMs);
  char text[48];
  if (newestMs <= 0) {
    const long long tenths = ageMs / 100;
    std::snprintf(text, sizeof text, "%s%lld,%lld", tenths > 0 ? "-" : "", tenths / 10,
                  tenths % 10);
    return text;
  }
  const long long ms = newestMs - ageMs;
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  char date[32];
  std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
  std::snprintf(text, sizeof text, "%s,%lld", date, (ms % 1000) / 100);
  return text;
}

std::string Reason(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

std::string TrendCsvText(const TrendBuffer& buffer, std::uint32_t first, std::uint32_t count,
                         std::int64_t newestMs) {
  const TrendConfig& config = buffer.Config();
  const std::uint32_t channels = buffer.ChannelCount();
  const std::uint32_t stored = buffer.Count(0);
  if (first > stored) first = stored;
  if (count > stored - first) count = stored - first;

  std::string text = kUtf8Mark;
  text += "Time";
  for (std::uint32_t k = 0; k < channels; ++k) {
    std::string head = config.name[k];
    if (!config.unit[k].empty()) head += (head.empty() ? "" : " ") + config.unit[k];
    text += kSeparator;
    text += Cell(head);
  }
  text += "\r\n";
  for (std::uint32_t i = first; i < first + count; ++i) {
    text += TimeCell(newestMs, static_cast<long long>(stored) - 1 - i, config.samplePeriodMs);
    for (std::uint32_t k = 0; k < channels; ++k) {
      text += kSeparator;
      const std::uint32_t own = buffer.Count(k);
      // Channel k's sample taken with sample i of channel 0.
      const long long j = static_cast<long long>(i) - (static_cast<long long>(stored) - own);
      if (j < 0) continue;
      const double value = buffer.Sample(k, static_cast<std::uint32_t>(j));
      if (std::isfinite(value)) text += FormatReal(value, config.third[k]);
    }
    text += "\r\n";
  }
  return text;
}

bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
  std::string temporary = path + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) {
    if (error != nullptr) *error = Reason("cannot create a file beside the target");
    return false;
  }
  bool ok = true;
  const char* what = "";
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      what = "cannot write";
    } else {
      done += static_cast<std::size_t>(n);
    }
  }
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    what = "cannot flush";
  }
  // mkstemp makes the file private: a replaced file keeps its mode, a new one is readable like
  // any file the user saves.
  if (ok) {
    struct stat target {};
    const mode_t mode = ::stat(path.c_str(), &target) == 0 ? (target.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    what = "cannot close";
  }
  if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    what = "cannot replace the target";
  }
  if (!ok) {
    if (error != nullptr) *error = Reason(what);
    ::unlink(temporary.c_str());
  }
  return ok;
}

bool WriteTrendCsv(const std::string& path, const TrendBuffer& buffer, std::uint32_t first,
                   std::uint32_t count, std::int64_t newestMs, std::string* error) {
  return WriteFileAtomically(path, TrendCsvText(buffer, first, count, newestMs), error);
}

}  // namespace heatdiag
