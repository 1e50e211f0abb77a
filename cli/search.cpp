#include "cli/search.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/headless_frame.h"
#include "cli/interrupt_watch.h"
#include "cli/subcommand.h"
#include "drivers/device_table.h"
#include "drivers/diagnosis.h"

namespace heatdiag::cli {
namespace {

// The search window of a terminal: its lines are printed as they change (unless the output is
// JSON), and the units tried and the one identified are kept for the result.
class TerminalSearchWindow : public SearchWindow {
 public:
  explicit TerminalSearchWindow(std::ostream* lines) : lines_(lines) {}

  void Open() override {
    if (lines_ != nullptr) *lines_ << "Automatic control unit search\n" << std::flush;
  }

  void ShowUnit(std::string_view name, std::uint32_t remaining) override {
    std::lock_guard lock(mutex_);
    tried_.emplace_back(name);
    if (lines_ != nullptr)
      *lines_ << "actual control unit: " << name << "\nremaining units: " << remaining << '\n'
              << std::flush;
  }

  void Close() override {}

  void SelectedDeviceChanged() override {
    std::lock_guard lock(mutex_);
    found_ = SelectedDevice();
  }

  std::vector<std::string> Tried() const {
    std::lock_guard lock(mutex_);
    return tried_;
  }

  std::optional<std::uint32_t> Found() const {
    std::lock_guard lock(mutex_);
    return found_;
  }

 private:
  std::ostream* lines_;
  mutable std::mutex mutex_;
  std::vector<std::string> tried_;
  std::optional<std::uint32_t> found_;
};

void PrintJson(std::ostream& out, const std::vector<std::string>& tried,
               std::optional<std::uint32_t> found) {
  nlohmann::ordered_json result;
  result["tried"] = tried;
  result["found"] = found ? nlohmann::ordered_json(DeviceId(*found)) : nullptr;
  result["name"] = found ? nlohmann::ordered_json(DeviceName(*found)) : nullptr;
  out << result.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

int Search(const SearchOptions& options, SettingsBackend* store, std::ostream& out,
           std::ostream& err) {
  HeadlessRun run(store, err);
  if (!run.ChooseLine(options) || !run.Start()) return kExitUsage;

  TerminalSearchWindow window(options.json ? nullptr : &out);
  HeadlessFrame& frame = run.Frame();
  std::atomic<bool> cancelled{false};
  {
    InterruptWatch interrupt([&frame, &cancelled] {
      frame.Note(
          "Search cancelled: it ends after the control unit being tried (Ctrl-C again ends "
          "the program at once).");
      cancelled.store(true);
      CancelSearch();
    });
    if (!StartAutomaticSearch(window, options.spacing)) {
      frame.Note("Another device search is running.");
      return kExitFailed;
    }
    // A Ctrl-C that came before the search ran had nothing to cancel yet.
    if (cancelled.load()) CancelSearch();
    WaitForSearchEnd();
  }
  const std::optional<std::uint32_t> found = window.Found();
  // The search has started the diagnosis of the unit it identified: it ends here.
  run.Finish();
  if (options.json) {
    PrintJson(out, window.Tried(), found);
  } else if (found) {
    out << "Control unit found: " << DeviceId(*found) << ' ' << DeviceName(*found) << '\n';
  } else {
    out << "No control unit found.\n";
  }
  return found ? kExitOk : kExitFailed;
}

}  // namespace

int RunSearch(const SearchOptions& options, SettingsBackend& store, std::ostream& out,
              std::ostream& err) {
  return Search(options, &store, out, err);
}

int RunSearch(const SearchOptions& options, std::ostream& out, std::ostream& err) {
  return Search(options, nullptr, out, err);
}

Subcommand AddSearchCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<SearchOptions>();
  CLI::App* command = app.add_subcommand(
      "search",
      "Automatic device search: try the drivers on the port until one identifies the control "
      "unit");
  const std::function<void()> completeLine = AddLineOptions(*command, *options);
  command->add_flag("--json", options->json, "One JSON object on standard output");
  return {command, [options, completeLine, &store](std::ostream& out, std::ostream& err) {
            completeLine();
            return RunSearch(*options, store, out, err);
          }};
}

}  // namespace heatdiag::cli
