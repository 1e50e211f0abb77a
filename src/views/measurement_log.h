// The measurement protocol: while logging is on, a thread appends one tab-separated line of the
// store's loggable values (category 0x4000) to a text file at a fixed interval, after a header
// line naming the columns. Every 200 ms the thread looks whether a line is due; a line is
// written only while the selected device's session runs with complete data, and each session's
// data get a header of their own.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace heatdiag {

inline constexpr std::size_t kMeasurementColumnLimit = 256;

// The header line: "Date", "Time", then a column per store row that is present, loggable and
// named ("name unit"), in row order, at most 256; `columns` gets their rows. Ends in a line feed.
std::string MeasurementHeader(std::vector<std::uint32_t>& columns);
// A data line: "dd.mm.yy<TAB>hh:mm:ss", then each column's value text ("?" when there is none).
std::string MeasurementDataLine(const std::tm& time, const std::vector<std::uint32_t>& columns);

class MeasurementLog {
 public:
  struct Environment {
    std::function<std::int64_t()> nowMs;  // a steady millisecond clock
    std::function<std::tm()> localTime;
    // One try to append a line; false when the file cannot be opened or written.
    std::function<bool(const std::string& path, std::string_view line)> append;
    // A device is selected, its session runs and the store's data are complete.
    std::function<bool()> dataValid;
    std::chrono::milliseconds retryDelay{300};
  };
  static Environment SystemEnvironment();

  static constexpr int kTickMs = 200;
  static constexpr int kWriteTries = 10;

  explicit MeasurementLog(Environment environment = SystemEnvironment());
  ~MeasurementLog();
  MeasurementLog(const MeasurementLog&) = delete;
  MeasurementLog& operator=(const MeasurementLog&) = delete;

  // The thread that ticks every 200 ms (program start to exit). Stopping returns once the
  // thread has ended: every wait of the thread ends at once when it is told to quit.
  void StartThread();
  void StopThread();

  // Logging on, into `file` every `intervalSeconds` (at least 1). False for an interval below 1.
  bool Start(std::string file, int intervalSeconds);
  void Stop();
  bool Running() const;

  // One look of the thread: writes the header and a line when one is due.
  void Tick();

  struct Counts {
    std::uint64_t headers = 0;
    std::uint64_t lines = 0;  // data lines written
    std::uint64_t lost = 0;   // lines not written after all tries
    std::vector<std::uint32_t> columns;
    bool switchedOff = false;  // logging ended itself: nothing to log
  };
  Counts Stats() const;
  // Waits until `lines` data lines have been written, logging has switched itself off or the
  // limit has passed; true in the first case.
  bool WaitForLines(std::uint64_t lines, std::chrono::milliseconds limit);

 private:
  void Run();
  bool Write(const std::string& file, const std::string& line);
  // Waits up to `duration`; false when the thread is to quit.
  bool Pause(std::chrono::milliseconds duration);

  Environment environment_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool logging_ = false;
  bool quit_ = false;
  std::string file_;
  std::int64_t intervalMs_ = 10000;
  std::int64_t dueMs_ = 0;
  bool headerNeeded_ = true;
  Counts counts_;
  std::thread thread_;
};

// The program's one measurement log.
MeasurementLog& ProgramMeasurementLog();

}  // namespace heatdiag
