// What the heatdiag-cli tests share: a line on which nothing answers, the program's thread count,
// and a settings store that records what is written into it.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "base/settings.h"

namespace heatdiag::cli::testing {

// A pseudo-terminal whose far end is held open and never answers: the tester's writes vanish
// into it, and nothing ever comes back.
class SilentLine {
 public:
  SilentLine() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    char name[128];
    if (ptsname_r(master_, name, sizeof name) == 0) path_ = name;
  }
  ~SilentLine() {
    if (master_ >= 0) close(master_);
  }
  SilentLine(const SilentLine&) = delete;
  SilentLine& operator=(const SilentLine&) = delete;

  const std::string& Path() const { return path_; }

  // Waits until the tester has written something to the line (and swallows it).
  bool WaitForTraffic(std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      pollfd readable{master_, POLLIN, 0};
      if (poll(&readable, 1, 100) <= 0) continue;
      char buffer[256];
      if (read(master_, buffer, sizeof buffer) > 0) return true;
    }
    return false;
  }

 private:
  int master_ = -1;
  std::string path_;
};

// The threads of this process. A sanitizer runtime starts a thread of its own with the first
// thread the program makes: one thread is made first, so that it is already counted.
inline int ThreadCount() {
  static const bool runtimeSettled = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)runtimeSettled;
  int count = 0;
  if (DIR* tasks = opendir("/proc/self/task")) {
    while (const dirent* entry = readdir(tasks))
      if (entry->d_name[0] != '.') ++count;
    closedir(tasks);
  }
  return count;
}

// An in-memory settings store that also keeps the names of the values written into it.
class RecordingStore : public MemorySettingsBackend {
 public:
  bool WriteText(std::string_view section, std::string_view value, std::string_view text) override {
    {
      std::lock_guard lock(mutex_);
      written_.insert(std::string(section) + "/" + std::string(value));
    }
    return MemorySettingsBackend::WriteText(section, value, text);
  }
  std::set<std::string> Written() const {
    std::lock_guard lock(mutex_);
    return written_;
  }
  void ForgetWrites() {
    std::lock_guard lock(mutex_);
    written_.clear();
  }
  // A stored value as text; "(missing)" when there is none.
  std::string Value(std::string_view section, std::string_view value) {
    return ReadText(section, value).value_or("(missing)");
  }

 private:
  mutable std::mutex mutex_;
  std::set<std::string> written_;
};

// A store holding every setting as the desktop program would have saved it, with `changes`
// applied on top: {section, value, text}.
struct StoredValue {
  const char* section;
  const char* value;
  std::string text;
};
inline void FillStore(SettingsBackend& store, const std::vector<StoredValue>& changes) {
  MemorySettingsBackend defaults;
  Settings settings;
  ReadSettings(defaults, settings);
  WriteSettings(store, settings);
  for (const StoredValue& change : changes)
    store.WriteText(change.section, change.value, change.text);
}

// argv for RunCommandLine, with the program's name in front.
class Arguments {
 public:
  explicit Arguments(const std::vector<std::string>& args) : strings_{"heatdiag-cli"} {
    strings_.insert(strings_.end(), args.begin(), args.end());
    for (const std::string& s : strings_) pointers_.push_back(s.c_str());
  }
  Arguments(const Arguments&) = delete;
  Arguments& operator=(const Arguments&) = delete;
  int Count() const { return static_cast<int>(pointers_.size()); }
  const char* const* Values() const { return pointers_.data(); }
  std::string Text() const {
    std::string text;
    for (std::size_t i = 1; i < strings_.size(); ++i) text += (i > 1 ? " " : "") + strings_[i];
    return text;
  }

 private:
  std::vector<std::string> strings_;
  std::vector<const char*> pointers_;
};

}  // namespace heatdiag::cli::testing
