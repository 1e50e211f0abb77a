// The automatic device search: a thread that tries the drivers one after another with their
// ProbeDevice operation, in the order of their device codes, until one identifies a control
// unit, and then starts the diagnosis with it. Also the result logic of the device selection
// dialog through which the user picks a driver by hand or asks for the search.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>
#include <vector>

namespace heatdiag {

// Texts of the search (string ids).
inline constexpr std::uint32_t kTextSearchWarningCaption = 21002;  // "Attention!"
inline constexpr std::uint32_t kTextSearchWarning = 21023;         // asked before a search
inline constexpr std::uint32_t kTextSearchTitle = 20117;           // "Automatic device search"
inline constexpr std::uint32_t kTextTwinVariants = 21057;          // D16 and D17 look alike

// Pause between two probes: a control unit that has just been addressed needs the line quiet.
inline constexpr std::chrono::milliseconds kProbeSpacing{300};

// The window "Automatic control unit search" and the frame, as the search thread sees them.
// Every call comes from the search thread. An implementation hands the work to its own thread
// and returns without waiting for it: the GUI thread may be waiting for the search to end.
// When the user closes the window, the window calls CancelSearch().
class SearchWindow {
 public:
  virtual ~SearchWindow() = default;
  // Before the first probe: open the window (the frame's UM_OPENSEARCHDIALOG).
  virtual void Open() = 0;
  // The line "actual control unit:" shows name, the line "remaining units:" the count.
  virtual void ShowUnit(std::string_view name, std::uint32_t remaining) = 0;
  // At the end of the search, whatever ended it.
  virtual void Close() = 0;
  // The search has ended without a cancel: refresh the menus and toolbar.
  virtual void RefreshCommands() {}
  // The search has identified a device and made it the selected one: update the frame title.
  virtual void SelectedDeviceChanged() {}
};

// A search window for front ends without one: writes its two lines to a stream.
class PrintingSearchWindow : public SearchWindow {
 public:
  explicit PrintingSearchWindow(std::FILE* out = stdout) : out_(out) {}
  void Open() override;
  void ShowUnit(std::string_view name, std::uint32_t remaining) override;
  void Close() override;

 private:
  std::FILE* out_;
};

// The device indices in the order the search tries them: ascending device code, records with
// the same code in table order, records with code 0 never.
std::vector<std::uint32_t> SearchOrder();

// True while a search thread runs.
bool IsSearchRunning();

// Starts the search thread (the caller has asked the user first, kTextSearchWarning). The window
// must stay alive until the search has ended. Returns false, and starts nothing, while a search
// runs already. spacing is the pause after a probe that found nothing.
bool StartAutomaticSearch(SearchWindow& window, std::chrono::milliseconds spacing = kProbeSpacing);

// Asks a running search to stop: it ends before its next probe; a probe already running
// finishes first, and a device it identifies still gets its diagnosis started. Returns at once.
void CancelSearch();

// Asks a running search to stop and waits until its thread has ended (at most one probe).
// Call it before the settings are saved and the drivers shut down.
void StopAutomaticSearch();

// Waits until the running search (if any) has ended by itself or been cancelled.
void WaitForSearchEnd();

// The device selection dialog: the list of the 19 records and its buttons.
inline constexpr int kSelectionAutomaticSearch = -1;
inline constexpr int kSelectionNoChange = 19;

enum class SelectionButton { kOk, kListDoubleClick, kCancel, kAutomaticSearch };

// The dialog's result: OK or a double-click gives the list's selection (-1 when nothing is
// selected, which asks for the search), Cancel gives 19, "automatic search" gives -1.
int DeviceSelectionResult(SelectionButton button, int listSelection);

// What the frame does with a result of the dialog, given the selected device and whether its
// session runs.
struct DeviceSelectionPlan {
  bool emptyTemporaryStorage =
      false;                     // a device was chosen (the dataset backup belongs to the old)
  bool finishDiagnosis = false;  // finish the running diagnosis first
  bool startSearch = false;      // then start the automatic search
  std::optional<std::uint32_t> select;  // or select this device and start its diagnosis
};
DeviceSelectionPlan PlanDeviceSelection(int result, std::uint32_t selectedDevice,
                                        bool sessionActive);

}  // namespace heatdiag
