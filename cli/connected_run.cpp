#include "cli/connected_run.h"

#include "base/settings.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/device_table.h"
#include "drivers/diagnosis.h"

namespace heatdiag::cli {
namespace {

constexpr std::uint32_t kVirtualHeaterDevice = 0;  // the virtual heater is an H-Bus unit

}  // namespace

std::optional<std::uint32_t> ChooseRunDevice(const ConnectedRunOptions& options,
                                             std::ostream& err) {
  if (!options.device.empty()) {
    const auto device = ParseDeviceId(options.device);
    if (!device) err << "Unknown device \"" << options.device << "\" (D00 to D18).\n";
    return device;
  }
  if (options.virtualHeater) return kVirtualHeaterDevice;
  const std::int32_t last = ProgramSettings().lastDevice;
  if (last < 0 || last >= static_cast<std::int32_t>(kDeviceCount)) {
    err << "No device has been diagnosed yet (setting LastDevice " << last
        << "): give --device D00 to D18.\n";
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(last);
}

HeadlessFrame::Outcome ConnectDevice(HeadlessRun& run, std::uint32_t device,
                                     std::chrono::milliseconds limit) {
  HeadlessFrame& frame = run.Frame();
  SelectDevice(device);
  StartDiagnosis();
  const HeadlessFrame::Outcome outcome = frame.WaitForConnection(limit);
  switch (outcome) {
    case HeadlessFrame::Outcome::kDataReady:
      break;
    case HeadlessFrame::Outcome::kTimedOut:
      frame.Note("The connection pass did not complete within " +
                 std::to_string(limit.count() / 1000) + " s.");
      break;
    case HeadlessFrame::Outcome::kInterrupted:
      frame.Note("Interrupted before the connection pass was complete.");
      break;
    case HeadlessFrame::Outcome::kLinkEnded:
      frame.Note("The diagnosis ended before the connection pass was complete.");
      break;
  }
  return outcome;
}

}  // namespace heatdiag::cli
