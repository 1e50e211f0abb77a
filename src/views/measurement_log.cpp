#include "views/measurement_log.h"

#include <cstdio>

#include "base/append_file.h"
#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/device_table.h"
#include "drivers/diag_store.h"

namespace heatdiag {
namespace {

constexpr std::size_t kNameChars = 255;
constexpr std::size_t kUnitChars = 63;
constexpr std::size_t kValueChars = 63;

std::int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local = {};
  localtime_r(&now, &local);
  return local;
}

std::string TwoDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", value % 100);
  return text;
}

}  // namespace

std::string MeasurementHeader(std::vector<std::uint32_t>& columns) {
  columns.clear();
  std::string line = LoadString(kTextLogDate) + "\t" + LoadString(kTextLogTime);
  const std::uint32_t rows = StoreRowCount();
  for (std::uint32_t row = 0; row < rows && columns.size() < kMeasurementColumnLimit; ++row) {
    if (StoreGetPresent(row) == 0 || StoreRowInGroup(row, kViewLog) == 0) continue;
    char name[kNameChars + 1] = {};
    if (StoreGetName(row, name, sizeof name, 0) == 0 || name[0] == '\0') continue;
    char unit[kUnitChars + 1] = {};
    StoreGetUnit(row, unit, sizeof unit);
    columns.push_back(row);
    line += "\t";
    line += name;
    line += " ";
    line += unit;
  }
  return line + "\n";
}

std::string MeasurementDataLine(const std::tm& time, const std::vector<std::uint32_t>& columns) {
  std::string line = TwoDigits(time.tm_mday) + "." + TwoDigits(time.tm_mon + 1) + "." +
                     TwoDigits(time.tm_year) + "\t" + TwoDigits(time.tm_hour) + ":" +
                     TwoDigits(time.tm_min) + ":" + TwoDigits(time.tm_sec);
  for (const std::uint32_t row : columns) {
    char value[kValueChars + 1] = {};
    const bool produced = StoreGetPresent(row) != 0 && StoreGetShown(row) != 0 &&
                          StoreRead(row, kStoreText, sizeof value, value) != 0;
    line += "\t";
    line += produced ? value : "?";
  }
  return line + "\n";
}

MeasurementLog::Environment MeasurementLog::SystemEnvironment() {
  Environment environment;
  environment.nowMs = &SteadyMs;
  environment.localTime = &LocalNow;
  environment.append = [](const std::string& path, std::string_view line) {
    return AppendWhole(path, line.data(), line.size());
  };
  environment.dataValid = [] { return SelectedSessionActive() && StoreIsDataValid(); };
  return environment;
}

MeasurementLog::MeasurementLog(Environment environment) : environment_(std::move(environment)) {}

MeasurementLog::~MeasurementLog() {
  StopThread();
}

void MeasurementLog::StartThread() {
  std::lock_guard lock(mutex_);
  if (thread_.joinable()) return;
  quit_ = false;
  thread_ = std::thread([this] { Run(); });
}

void MeasurementLog::StopThread() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool MeasurementLog::Start(std::string file, int intervalSeconds) {
  if (intervalSeconds < 1) return false;
  std::lock_guard lock(mutex_);
  file_ = std::move(file);
  intervalMs_ = static_cast<std::int64_t>(intervalSeconds) * 1000;
  logging_ = true;
  counts_.switchedOff = false;
  return true;
}

void MeasurementLog::Stop() {
  std::lock_guard lock(mutex_);
  logging_ = false;
}

bool MeasurementLog::Running() const {
  std::lock_guard lock(mutex_);
  return logging_;
}

MeasurementLog::Counts MeasurementLog::Stats() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

bool MeasurementLog::WaitForLines(std::uint64_t lines, std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, limit, [&] { return counts_.lines >= lines || counts_.switchedOff; });
  return counts_.lines >= lines;
}

bool MeasurementLog::Pause(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  return !changed_.wait_for(lock, duration, [this] { return quit_; });
}

void MeasurementLog::Run() {
  while (Pause(std::chrono::milliseconds(kTickMs))) Tick();
}

bool MeasurementLog::Write(const std::string& file, const std::string& line) {
  for (int attempt = 1; attempt <= kWriteTries; ++attempt) {
    if (environment_.append(file, line)) return true;
    if (attempt < kWriteTries && !Pause(environment_.retryDelay)) break;
  }
  std::lock_guard lock(mutex_);
  ++counts_.lost;
  return false;
}

void MeasurementLog::Tick() {
  const std::int64_t now = environment_.nowMs();
  std::string file;
  bool writeHeader = false;
  {
    std::lock_guard lock(mutex_);
    if (!logging_) {
      dueMs_ = now;
      headerNeeded_ = true;
      return;
    }
    if (now < dueMs_) return;
    dueMs_ += intervalMs_;
    // After a stall (a suspended machine, a slow disk) the log goes on from now instead of
    // writing every missed line at once.
    if (dueMs_ <= now) dueMs_ = now + intervalMs_;
    file = file_;
    writeHeader = headerNeeded_;
  }
  if (!environment_.dataValid()) {
    std::lock_guard lock(mutex_);
    headerNeeded_ = true;
    return;
  }
  if (writeHeader) {
    std::vector<std::uint32_t> columns;
    const std::string header = MeasurementHeader(columns);
    if (columns.empty()) {
      {
        std::lock_guard lock(mutex_);
        logging_ = false;
        counts_.switchedOff = true;
      }
      changed_.notify_all();
      return;
    }
    const bool written = Write(file, header);
    std::lock_guard lock(mutex_);
    counts_.columns = columns;
    headerNeeded_ = false;
    if (written) ++counts_.headers;
  }
  std::vector<std::uint32_t> columns;
  {
    std::lock_guard lock(mutex_);
    columns = counts_.columns;
  }
  if (Write(file, MeasurementDataLine(environment_.localTime(), columns))) {
    {
      std::lock_guard lock(mutex_);
      ++counts_.lines;
    }
    changed_.notify_all();
  }
}

MeasurementLog& ProgramMeasurementLog() {
  static MeasurementLog log;
  return log;
}

}  // namespace heatdiag
