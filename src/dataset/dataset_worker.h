// The dataset worker: one thread that carries out the Dataset menu's commands one at a time,
// moving a dataset between a file, the editor, the control unit and the temporary storage. It
// asks the frame for the dialogs it needs (UM_EOLADDRESSES, UM_EOLEDITOR, UM_OPENEOLCELL,
// UM_TRANSFERDIALOG with the request as the first parameter) and waits for them; a headless
// front end answers the same messages.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "dataset/dataset_image.h"

namespace heatdiag {

// The commands, by the menu they come from.
enum DatasetCommandId : int {
  kDatasetIdle = 0,
  kFileIntoDevice = 1,
  kFileIntoEditor = 2,
  kFileIntoStorage = 3,
  kDeviceIntoFile = 4,
  kDeviceIntoEditor = 5,
  kDeviceIntoStorage = 6,
  kStorageIntoFile = 7,
  kStorageIntoEditor = 8,
  kStorageIntoDevice = 9,
  kStorageClear = 10,
  kSingleCell = 11,
};

inline constexpr std::uint32_t kMenuFileIntoDevice = 32780;  // .. 32789 for commands 1 .. 10
inline constexpr std::uint32_t kMenuSingleCell = 32798;
inline constexpr std::uint32_t kMenuEolBackup = 32799;

// The command of a Dataset menu id; 0 for any other id.
int DatasetCommandForMenu(std::uint32_t menuId);

// Shared with the progress dialog "Data transfer running...".
struct TransferProgress {
  std::atomic<std::uint32_t> first{0};
  std::atomic<std::uint32_t> last{0};  // the image's size
  std::atomic<std::uint32_t> current{0};
  std::atomic<std::uint32_t> finished{1};
};

// Handed to the editor dialog (UM_EOLEDITOR). `program` is its result: "&Program" was pressed.
struct EditorRequest {
  DatasetImage* image = nullptr;
  std::atomic<bool> abort{false};
  std::atomic<bool> done{false};
  std::atomic<bool> program{false};
};

// Shared by the "EOL cell" dialog and the worker (UM_OPENEOLCELL).
struct CellRequest {
  static constexpr std::uint16_t kInvalidAddress = 0xFFFF;
  std::atomic<std::uint16_t> address{kInvalidAddress};
  std::atomic<std::uint16_t> start{0};
  std::atomic<std::uint16_t> size{0};
  std::atomic<std::uint16_t> currentValue{0};
  std::atomic<std::uint16_t> newValue{0x100};  // above 255: invalid
  std::atomic<bool> writeRequest{false};
  std::atomic<bool> readRequest{false};
  std::atomic<bool> refresh{false};  // a read has delivered a value
  std::atomic<bool> newValueEntered{false};
  std::atomic<bool> abort{false};
  std::atomic<bool> closed{false};
  std::atomic<bool> updating{false};
  // Counted up by the worker after each read or write request it served, with whether it
  // failed: a front end without a dialog learns so that a request came to nothing.
  std::atomic<std::uint32_t> served{0};
  std::atomic<bool> failed{false};

  void Clear();
};

// What the worker needs of its front end besides the frame's dialogs. Called on the worker's
// thread.
class DatasetFrontEnd {
 public:
  virtual ~DatasetFrontEnd() = default;
  // The file dialog: true with the chosen path, false when cancelled.
  virtual bool ChooseEolFile(bool forSaving, std::string* path) = 0;
  // The layout of the command's working image is settled (after the addresses dialog).
  virtual void LayoutChosen(const DatasetImage& image) { (void)image; }
  // A backup of the device's dataset has just been taken into the temporary storage, before
  // programming. False cancels the programming (nothing is written).
  virtual bool BackupTaken(const DatasetImage& storage) {
    (void)storage;
    return true;
  }
};

class DatasetWorker {
 public:
  // How long Stop() waits for the thread: 101 polls of 10 ms.
  static constexpr int kStopPolls = 101;

  explicit DatasetWorker(DatasetFrontEnd* frontEnd = nullptr);
  ~DatasetWorker();
  DatasetWorker(const DatasetWorker&) = delete;
  DatasetWorker& operator=(const DatasetWorker&) = delete;

  // Starts the thread with an empty temporary storage.
  void Start();
  // Sets the stop flag and waits about a second for the thread to end; true when it ended. A
  // thread that did not end is left to finish on its own (it holds its own state).
  bool Stop();

  // The menu: 32799 toggles EOLBackup; while command 11 runs only 32798 acts (it ends the
  // command); while idle any id of the menu starts its command; otherwise ids are ignored.
  void HandleMenu(std::uint32_t menuId);
  // Starts a command when the worker is idle; false otherwise.
  bool SetCommand(int command);
  int Command() const;
  // Waits until the worker is idle; false when the limit passed first.
  bool WaitIdle(std::chrono::milliseconds limit) const;
  // Whether the command last finished reached its end (a transfer, file or layout that failed,
  // a cancelled dialog or a lost session: false).
  bool LastCommandSucceeded() const;

  bool IsTemporaryStorageFilled() const;
  // Empties the temporary storage (a new device was chosen); done by the worker when idle.
  void ResetTemporaryStorage();
  // A copy of the temporary storage (for tests and reports).
  DatasetImage TemporaryStorageCopy() const;

  TransferProgress& Progress();
  CellRequest& Cell();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace heatdiag
