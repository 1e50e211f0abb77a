#include "shell/help_context.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace heatdiag {
namespace {

constexpr std::uint32_t C(std::uint32_t command) {
  return HelpContextOfCommand(command);
}
constexpr std::uint32_t D(std::uint32_t dialog) {
  return HelpContextOfDialog(dialog);
}
constexpr std::uint32_t P(std::uint32_t part) {
  return HelpContextOfFramePart(part);
}
constexpr std::uint32_t S(std::uint32_t command) {
  return HelpContextOfSystemCommand(command);
}

// Sorted by context id (checked once at start-up).
constexpr HelpTopic kTopics[] = {
    // Commands.
    {C(32771), "diagnosis.html"},    // About
    {C(32773), "views.html"},        // Parameter list
    {C(32774), "diagnosis.html"},    // Device selection
    {C(32775), "diagnosis.html"},    // Start diagnosis
    {C(32776), "diagnosis.html"},    // Stop diagnosis
    {C(32778), "views.html"},        // Operating data
    {C(32779), "views.html"},        // Overview
    {C(32780), "dataset.html"},      // file into device
    {C(32781), "dataset.html"},      // file into editor
    {C(32782), "dataset.html"},      // file into temporary storage
    {C(32783), "dataset.html"},      // device into file
    {C(32784), "dataset.html"},      // device into editor
    {C(32785), "dataset.html"},      // device into temporary storage
    {C(32786), "dataset.html"},      // storage into file
    {C(32787), "dataset.html"},      // storage into editor
    {C(32788), "dataset.html"},      // storage into device
    {C(32789), "dataset.html"},      // clear storage
    {C(32791), "views.html"},        // Device info
    {C(32792), "faults.html"},       // View faults
    {C(32793), "faults.html"},       // Clear faults
    {C(32794), "diagnosis.html"},    // COM port
    {C(32795), "graph.html"},        // Actual values graph
    {C(32796), "protocol.html"},     // Protocol
    {C(32797), "diagnosis.html"},    // Automatic start
    {C(32798), "dataset.html"},      // single cell
    {C(32799), "dataset.html"},      // backup into temporary storage
    {C(32800), "control.html"},      // Component test
    {C(32801), "dataset.html"},      // block mode
    {C(32802), "control.html"},      // On
    {C(32803), "control.html"},      // Parking heating
    {C(32804), "control.html"},      // Supplemental heating
    {C(32805), "control.html"},      // Ventilating
    {C(32806), "control.html"},      // Boost
    {C(32807), "control.html"},      // Circulating pump
    {C(32808), "control.html"},      // Off
    {C(32809), "calibration.html"},  // Voltage adjustment
    {C(32810), "calibration.html"},  // Flame sensor adjustment
    {C(32811), "calibration.html"},  // CO2 adjustment
    {C(32812), "extras.html"},       // Free telegram
    {C(32813), "extras.html"},       // Debug mode
    {C(32814), "extras.html"},       // Load sequence header
    {C(32816), "protocol.html"},     // Start measurement protocol
    {C(32817), "protocol.html"},     // Stop measurement protocol
    {C(32818), "control.html"},      // Fuel prime
    {C(32832), "report.html"},       // Print summary
    {C(32833), "calibration.html"},  // CO2 adjustment (cold)
    {C(32834), "protocol.html"},     // Stop protocol
    {C(32835), "protocol.html"},     // Clear protocol
    {C(32836), "protocol.html"},     // View state changes
    {C(32837), "protocol.html"},     // View communication
    {C(32838), "protocol.html"},     // Store protocol into file
    {C(32839), "protocol.html"},     // Select protocol file
    {C(32840), "graph.html"},        // Splitted view
    {C(32841), "graph.html"},        // channels 1..20
    {C(32842), "graph.html"},
    {C(32843), "graph.html"},
    {C(32844), "graph.html"},
    {C(32845), "graph.html"},
    {C(32846), "graph.html"},
    {C(32847), "graph.html"},
    {C(32848), "graph.html"},
    {C(32849), "graph.html"},
    {C(32850), "graph.html"},
    {C(32851), "graph.html"},
    {C(32852), "graph.html"},
    {C(32853), "graph.html"},
    {C(32854), "graph.html"},
    {C(32855), "graph.html"},
    {C(32856), "graph.html"},
    {C(32857), "graph.html"},
    {C(32858), "graph.html"},
    {C(32859), "graph.html"},
    {C(32860), "graph.html"},
    {C(32861), "window.html"},     // Cascade
    {C(32862), "window.html"},     // Tile
    {C(32863), "window.html"},     // Arrange icons
    {C(32864), "window.html"},     // Close all
    {C(32865), "report.html"},     // Save summary as PDF
    {C(32867), "report.html"},     // Save summary
    {C(32868), "report.html"},     // Open summary
    {C(32869), "diagnosis.html"},  // Close (exit)
    {C(32870), "help.html"},       // Help
    {C(32871), "dataset.html"},    // Baud rate for block mode
    {C(32872), "help.html"},       // Help mode
    {C(32873), "help.html"},       // Help on the focused window
    {C(32874), "help.html"},       // Help contents
    // Window system commands.
    {S(kSysSize), "window.html"},
    {S(kSysMove), "window.html"},
    {S(kSysMinimize), "window.html"},
    {S(kSysMaximize), "window.html"},
    {S(kSysNextWindow), "window.html"},
    {S(kSysPrevWindow), "window.html"},
    {S(kSysClose), "window.html"},
    {S(kSysRestore), "window.html"},
    {S(kSysTaskList), "window.html"},
    // Dialogs.
    {D(138), "dataset.html"},      // EOL data set (hex editor)
    {D(139), "control.html"},      // Component test
    {D(140), "diagnosis.html"},    // About
    {D(141), "diagnosis.html"},    // COM port selection
    {D(142), "diagnosis.html"},    // Device selection
    {D(145), "calibration.html"},  // Voltage adjustment
    {D(146), "calibration.html"},  // Glow plug adjustment
    {D(147), "calibration.html"},  // CO2 adjustment (cold)
    {D(148), "calibration.html"},  // CO2 adjustment
    {D(149), "dataset.html"},      // EOL dataset addresses
    {D(150), "dataset.html"},      // EOL cell
    {D(153), "dataset.html"},      // Data transfer running
    {D(154), "extras.html"},       // Free telegram
    {D(155), "protocol.html"},     // Measurement protocol file
    {D(156), "extras.html"},       // Debug
    {D(158), "report.html"},       // Description for printout
    {D(161), "protocol.html"},     // Protocol file
    {D(162), "report.html"},       // Text view
    {D(163), "diagnosis.html"},    // Automatic control unit search
    {D(164), "dataset.html"},      // Baud rate for block mode
    {D(165), "control.html"},      // Fuel prime
    // Parts of a window frame.
    {P(kPartNowhere), "window.html"},
    {P(kPartClient), "window.html"},
    {P(kPartCaption), "window.html"},
    {P(kPartSystemMenu), "window.html"},
    {P(kPartGrowBox), "window.html"},
    {P(kPartMenu), "window.html"},
    {P(kPartHorizontalScroll), "window.html"},
    {P(kPartVerticalScroll), "window.html"},
    {P(kPartMinimizeButton), "window.html"},
    {P(kPartMaximizeButton), "window.html"},
    {P(kPartLeft), "window.html"},
    {P(kPartRight), "window.html"},
    {P(kPartTop), "window.html"},
    {P(kPartTopLeft), "window.html"},
    {P(kPartTopRight), "window.html"},
    {P(kPartBottom), "window.html"},
    {P(kPartBottomLeft), "window.html"},
    {P(kPartBottomRight), "window.html"},
    {P(kPartBorder), "window.html"},
    {P(kPartObject), "window.html"},
    {P(kPartCloseButton), "window.html"},
    {P(kPartHelpButton), "window.html"},
    // Document windows.
    {kHelpOverview, "views.html"},
    {kHelpOperatingData, "views.html"},
    {kHelpDeviceInfo, "views.html"},
    {kHelpGraph, "graph.html"},
    {kHelpParameterList, "views.html"},
    {kHelpProtocol, "protocol.html"},
    {kHelpFaultList, "faults.html"},
};

constexpr bool IsSorted() {
  for (std::size_t i = 1; i < std::size(kTopics); ++i)
    if (kTopics[i - 1].context >= kTopics[i].context) return false;
  return true;
}
static_assert(IsSorted(), "the topic table is searched by halves");

}  // namespace

std::optional<HelpTopic> FindHelpTopic(std::uint32_t context) {
  const auto* end = std::end(kTopics);
  const auto* it =
      std::lower_bound(std::begin(kTopics), end, context,
                       [](const HelpTopic& topic, std::uint32_t id) { return topic.context < id; });
  if (it == end || it->context != context) return std::nullopt;
  return *it;
}

std::span<const HelpTopic> HelpTopics() {
  return kTopics;
}

std::string HelpAnchor(std::uint32_t context) {
  char text[16];
  std::snprintf(text, sizeof text, "x%X", static_cast<unsigned>(context));
  return text;
}

std::uint32_t MenuSelection::Context(std::uint32_t fallbackDialog) const {
  if (selected_ != 0) return selected_ + kHelpCommandBase;
  if (fallbackDialog != 0) return fallbackDialog + kHelpDialogBase;
  return 0;
}

}  // namespace heatdiag
