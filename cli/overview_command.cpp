#include "cli/overview_command.h"

#include <charconv>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/interrupt_watch.h"
#include "cli/subcommand.h"
#include "drivers/diagnosis.h"
#include "views/overview_layout.h"

namespace heatdiag::cli {
namespace {

OverviewPictureWriter& TheWriter() {
  static OverviewPictureWriter writer;
  return writer;
}

bool ParseExtent(std::string_view text, int& value) {
  if (text.empty() || text.size() > 5) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && value >= kOverviewMinExtent &&
         value <= kOverviewMaxExtent;
}

int OverviewRun(const OverviewOptions& options, SettingsBackend* store, std::ostream& out,
                std::ostream& err) {
  int width = kOverviewDefaultWidth;
  int height = kOverviewDefaultHeight;
  if (!options.size.empty() && !ParseOverviewSize(options.size, width, height)) {
    err << "--size \"" << options.size << "\" is not WxH with " << kOverviewMinExtent << " to "
        << kOverviewMaxExtent << " pixels on each side.\n";
    return kExitUsage;
  }
  if (options.out.empty()) {
    err << "--out FILE.png is needed.\n";
    return kExitUsage;
  }
  if (options.seconds < 0) {
    err << "--seconds must not be negative.\n";
    return kExitUsage;
  }
  if (!TheWriter()) {
    err << "This program cannot draw pictures.\n";
    return kExitFailed;
  }
  HeadlessRun run(store, err);
  if (!run.ChooseLine(options)) return kExitUsage;
  const std::optional<std::uint32_t> device = ChooseRunDevice(options, err);
  if (!device) return kExitUsage;
  if (!run.Start()) return kExitUsage;
  HeadlessFrame& frame = run.Frame();
  InterruptWatch interrupt([&frame] { frame.Interrupt(); });
  const bool complete =
      ConnectDevice(run, *device, options.connectionLimit) == HeadlessFrame::Outcome::kDataReady;
  bool written = false;
  std::size_t elementCount = 0;
  if (complete) {
    frame.KeepPolling(std::chrono::seconds(options.seconds));
    // Drawn while the session still runs: the store holds the live values.
    const std::span<const OverviewElement> elements = SelectedOverviewElements();
    elementCount = elements.size();
    if (elements.empty()) frame.Note("The device has no overview: the picture stays empty.");
    std::string error;
    written = TheWriter()(elements, width, height, options.out, error);
    if (!written) frame.Note("The picture could not be written: " + error);
  }
  run.Finish();
  if (options.json) {
    nlohmann::ordered_json json;
    json["device"] = DeviceId(*device);
    json["name"] = DeviceName(*device);
    json["complete"] = complete;
    json["out"] = options.out;
    json["written"] = written;
    json["width"] = width;
    json["height"] = height;
    json["elements"] = elementCount;
    json["errors"] = frame.Errors();
    out << json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  } else if (written) {
    out << "Overview of " << elementCount << " elements written to " << options.out << " (" << width
        << "x" << height << ").\n";
  }
  return complete && written ? kExitOk : kExitFailed;
}

}  // namespace

bool ParseOverviewSize(const std::string& text, int& width, int& height) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  int w = 0;
  int h = 0;
  if (!ParseExtent(std::string_view(text).substr(0, x), w) ||
      !ParseExtent(std::string_view(text).substr(x + 1), h))
    return false;
  width = w;
  height = h;
  return true;
}

void SetOverviewPictureWriter(OverviewPictureWriter writer) {
  TheWriter() = std::move(writer);
}

int RunOverview(const OverviewOptions& options, SettingsBackend& store, std::ostream& out,
                std::ostream& err) {
  return OverviewRun(options, &store, out, err);
}

int RunOverview(const OverviewOptions& options, std::ostream& out, std::ostream& err) {
  return OverviewRun(options, nullptr, out, err);
}

Subcommand AddOverviewCommand(CLI::App& app, SettingsBackend& store) {
  auto options = std::make_shared<OverviewOptions>();
  CLI::App* command = app.add_subcommand(
      "overview", "Draw the overview schematic of the live data into a PNG picture");
  command->add_option("--device", options->device,
                      "Device D00..D18 (default: the device diagnosed last)");
  const std::function<void()> completeLine = AddLineOptions(*command, *options);
  command->add_option("--out", options->out, "The PNG file to write")->required();
  command->add_option("--size", options->size, "Picture size WxH (default 800x600)");
  command->add_option("--seconds", options->seconds, "Seconds of polling before drawing")
      ->capture_default_str();
  command->add_flag("--json", options->json, "One JSON object on standard output");
  return {command, [options, completeLine, &store](std::ostream& out, std::ostream& err) {
            completeLine();
            return RunOverview(*options, store, out, err);
          }};
}

}  // namespace heatdiag::cli
