// Help context ids: the numbers by which commands, dialogs, views and frame parts name their help
// topic, and the table that leads each id to the topic page that explains it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace heatdiag {

inline constexpr std::uint32_t kHelpCommandBase = 0x10000;        // + command id
inline constexpr std::uint32_t kHelpDialogBase = 0x20000;         // + dialog id
inline constexpr std::uint32_t kHelpFramePartBase = 0x40000;      // + frame hit-test code
inline constexpr std::uint32_t kHelpSystemCommandBase = 0x1EF00;  // + (command - 0xF000) / 16

// The document windows' fixed ids.
inline constexpr std::uint32_t kHelpOverview = 0x5F000;
inline constexpr std::uint32_t kHelpOperatingData = 0x5F001;
inline constexpr std::uint32_t kHelpDeviceInfo = 0x5F002;
inline constexpr std::uint32_t kHelpGraph = 0x5F003;
inline constexpr std::uint32_t kHelpParameterList = 0x5F004;
inline constexpr std::uint32_t kHelpProtocol = 0x5F005;
inline constexpr std::uint32_t kHelpFaultList = 0x5F006;

// Window system commands that have a topic of their own.
enum SystemCommand : std::uint32_t {
  kSysSize = 0xF000,
  kSysMove = 0xF010,
  kSysMinimize = 0xF020,
  kSysMaximize = 0xF030,
  kSysNextWindow = 0xF040,
  kSysPrevWindow = 0xF050,
  kSysClose = 0xF060,
  kSysRestore = 0xF120,
  kSysTaskList = 0xF130,
};

// Hit-test codes of the parts of a window frame (0..21).
enum FramePart : std::uint32_t {
  kPartNowhere = 0,
  kPartClient = 1,
  kPartCaption = 2,
  kPartSystemMenu = 3,
  kPartGrowBox = 4,
  kPartMenu = 5,
  kPartHorizontalScroll = 6,
  kPartVerticalScroll = 7,
  kPartMinimizeButton = 8,
  kPartMaximizeButton = 9,
  kPartLeft = 10,
  kPartRight = 11,
  kPartTop = 12,
  kPartTopLeft = 13,
  kPartTopRight = 14,
  kPartBottom = 15,
  kPartBottomLeft = 16,
  kPartBottomRight = 17,
  kPartBorder = 18,
  kPartObject = 19,
  kPartCloseButton = 20,
  kPartHelpButton = 21,
};
inline constexpr std::uint32_t kFramePartCount = 22;

constexpr std::uint32_t HelpContextOfCommand(std::uint32_t command) {
  return kHelpCommandBase + command;
}
constexpr std::uint32_t HelpContextOfDialog(std::uint32_t dialog) {
  return kHelpDialogBase + dialog;
}
constexpr std::uint32_t HelpContextOfFramePart(std::uint32_t part) {
  return kHelpFramePartBase + part;
}
constexpr std::uint32_t HelpContextOfSystemCommand(std::uint32_t command) {
  return kHelpSystemCommandBase + (command - 0xF000) / 16;
}

// The dialogs of the program by id.
inline constexpr std::uint32_t kHelpDialogIds[] = {138, 139, 140, 141, 142, 145, 146,
                                                   147, 148, 149, 150, 153, 154, 155,
                                                   156, 158, 161, 162, 163, 164, 165};
inline constexpr std::uint32_t kHelpSystemCommands[] = {
    kSysSize,       kSysMove,  kSysMinimize, kSysMaximize, kSysNextWindow,
    kSysPrevWindow, kSysClose, kSysRestore,  kSysTaskList};

// Where the help for a context id is: a page of the bundled help and an anchor on it.
struct HelpTopic {
  std::uint32_t context;
  const char* page;  // file name below the help folder, e.g. "diagnosis.html"
};

// The topic for a context id; none for an id nothing in the program produces.
std::optional<HelpTopic> FindHelpTopic(std::uint32_t context);
// Every entry of the topic table.
std::span<const HelpTopic> HelpTopics();
// The anchor of a context id on its page ("x18007" for 0x18007).
std::string HelpAnchor(std::uint32_t context);
inline constexpr const char* kHelpContentsPage = "contents.html";

// The context help mode: off, entering (a menu may still be closing) and armed (the next
// click names a topic).
enum class HelpMode { kOff = 0, kEntering = 1, kArmed = 2 };

// The last menu item highlighted, for a help request while a menu is open. A system command
// is kept as (command - 0xF000) / 16 + 0xEF00, so that adding the command base gives its
// context id.
class MenuSelection {
 public:
  void Select(std::uint32_t command) { selected_ = command; }
  void SelectSystemCommand(std::uint32_t command) { selected_ = (command - 0xF000) / 16 + 0xEF00; }
  void Clear() { selected_ = 0; }
  // The context id to show for a help request without its own id: the selected item, or the
  // fallback dialog id, or 0 when there is neither.
  std::uint32_t Context(std::uint32_t fallbackDialog) const;

 private:
  std::uint32_t selected_ = 0;
};

}  // namespace heatdiag
