#include "dataset/dataset_worker.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "base/frame_sink.h"
#include "base/messages.h"
#include "base/settings.h"
#include "dataset/addresses.h"
#include "dataset/eol_file.h"
#include "drivers/device_table.h"
#include "link/timing.h"

namespace heatdiag {
namespace {

constexpr auto kPoll = std::chrono::milliseconds(50);
constexpr std::uint32_t kStopPollMs = 10;
// After asking a dialog to give up, how many polls the worker waits for it to say so.
constexpr int kCloseWaitPolls = 40;

}  // namespace

void CellRequest::Clear() {
  address.store(kInvalidAddress);
  start.store(0);
  size.store(0);
  currentValue.store(0);
  newValue.store(0x100);
  writeRequest.store(false);
  readRequest.store(false);
  refresh.store(false);
  newValueEntered.store(false);
  abort.store(false);
  closed.store(false);
  updating.store(false);
  served.store(0);
  failed.store(false);
}

int DatasetCommandForMenu(std::uint32_t menuId) {
  if (menuId >= kMenuFileIntoDevice && menuId < kMenuFileIntoDevice + 10)
    return static_cast<int>(menuId - kMenuFileIntoDevice) + kFileIntoDevice;
  if (menuId == kMenuSingleCell) return kSingleCell;
  return 0;
}

struct DatasetWorker::State {
  explicit State(DatasetFrontEnd* f) : frontEnd(f) {}

  DatasetFrontEnd* frontEnd;
  std::atomic<int> command{0};
  std::atomic<bool> stop{false};
  std::atomic<bool> ended{true};
  std::atomic<bool> clearStorage{false};
  std::atomic<bool> storageFilled{false};
  std::atomic<bool> lastSucceeded{false};
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  DatasetImage storage;  // the temporary storage; touched by the worker's thread only
  TransferProgress progress;
  CellRequest cell;

  // --- Helpers ---------------------------------------------------------------------------------
  static const DeviceDriver* Driver() { return SelectedDriver(); }

  static bool SessionActive() {
    const DeviceDriver* d = Driver();
    return d != nullptr && d->IsSessionActive != nullptr && d->IsSessionActive() != 0;
  }

  bool LinkOk() const { return !stop.load() && SessionActive(); }

  void NoteStorage() { storageFilled.store(storage.size != 0); }

  void ClearStorage() {
    FreeDatasetImage(&storage);
    NoteStorage();
  }

  // Posts the dialog's message and polls every 50 ms until the dialog is done, asking it to
  // give up when the device or session goes or the worker is told to stop.
  template <typename Request>
  void WaitForDialog(std::uint32_t message, Request& request) {
    PostToFrame(message, reinterpret_cast<std::intptr_t>(&request));
    int pollsSinceAbort = 0;
    while (!request.done.load()) {
      if (!LinkOk()) request.abort.store(true);
      // A frame that shows no such dialog never answers: the request is not waited for forever.
      if (request.abort.load() && (stop.load() || ++pollsSinceAbort > kCloseWaitPolls)) break;
      std::unique_lock lock(mutex);
      changed.wait_for(lock, kPoll);
    }
  }

  bool Layout(DatasetImage* w) {
    const DeviceDriver* d = Driver();
    if (d == nullptr || d->GetDatasetLayout == nullptr || d->GetDatasetLayout(w) == 0) return false;
    if (!w->HasAreas()) {
      AddressRequest request;
      request.image = w;
      WaitForDialog(UM_EOLADDRESSES, request);
    }
    if (w->start == 0 && w->size == 0) return false;
    if (!w->HasCells() || !LayoutProblem(*w).empty()) return false;
    if (frontEnd != nullptr) frontEnd->LayoutChosen(*w);
    return true;
  }

  bool Transfer(DatasetImage* image, bool write) {
    const DeviceDriver* d = Driver();
    if (d == nullptr || !image->HasCells()) return false;
    progress.first.store(image->start);
    progress.last.store(image->size);
    progress.current.store(image->start);
    progress.finished.store(0);
    PostToFrame(UM_TRANSFERDIALOG, reinterpret_cast<std::intptr_t>(&progress));
    DatasetRequest request;
    request.first = image->start;
    request.end = image->size;
    request.cells = image->cells.data();
    request.currentAddress = &progress.current;
    const auto op = write ? d->WriteDataset : d->ReadDataset;
    const bool ok = op != nullptr && op(&request) != 0;
    progress.finished.store(1);
    return ok;
  }

  // The editor on the image; true when the user pressed "&Program".
  bool Editor(DatasetImage* image) {
    EditorRequest request;
    request.image = image;
    WaitForDialog(UM_EOLEDITOR, request);
    return request.program.load() && !request.abort.load();
  }

  bool ChooseFile(bool forSaving, std::string* path) {
    return frontEnd != nullptr && frontEnd->ChooseEolFile(forSaving, path);
  }

  enum class Backup { kReadDevice, kOriginals };

  // Programs the changed cells of w, after the backup into the temporary storage when that is
  // on and the storage is empty.
  bool Program(DatasetImage* w, Backup backup) {
    if (ProgramSettings().eolBackup != 0 && storage.size == 0) {
      if (backup == Backup::kReadDevice) {
        CopyDatasetImage(&storage, w);
        NoteStorage();
        MarkAllForRead(&storage);
        if (!Transfer(&storage, false)) {
          ClearStorage();
          FreeDatasetImage(w);
          return false;
        }
      } else {
        CopyOriginalsToImage(&storage, w);
        NoteStorage();
      }
      MarkAllForWrite(&storage);
      if (frontEnd != nullptr && !frontEnd->BackupTaken(storage)) {
        ClearStorage();
        return false;
      }
      if (!LinkOk()) return false;
    }
    MarkChangedForWrite(w);
    return Transfer(w, true);
  }

  // --- Commands --------------------------------------------------------------------------------
  bool FromFile(int cmd) {
    DatasetImage w;
    if (!Layout(&w)) return false;
    std::string path;
    if (!ChooseFile(false, &path)) return false;
    if (!ReadEolFileReporting(path, &w)) return false;
    if (!LinkOk()) return false;
    CheckChecksumAreaComplete(w);  // a warning only
    switch (cmd) {
      case kFileIntoEditor:
        if (!Editor(&w)) return true;
        return LinkOk() && Program(&w, Backup::kReadDevice);
      case kFileIntoDevice:
        return Program(&w, Backup::kReadDevice);
      default:
        CopyDatasetImage(&storage, &w);
        NoteStorage();
        return true;
    }
  }

  bool FromDevice(int cmd) {
    DatasetImage w;
    if (!Layout(&w)) return false;
    MarkAllForRead(&w);
    if (!Transfer(&w, false)) return false;
    if (!LinkOk()) return false;
    switch (cmd) {
      case kDeviceIntoEditor:
        if (!Editor(&w)) return true;
        return LinkOk() && Program(&w, Backup::kOriginals);
      case kDeviceIntoFile: {
        std::string path;
        if (!ChooseFile(true, &path)) return false;
        return WriteEolFileReporting(path, w);
      }
      default:
        CopyDatasetImage(&storage, &w);
        NoteStorage();
        return true;
    }
  }

  bool FromStorage(int cmd) {
    switch (cmd) {
      case kStorageIntoFile: {
        if (!storage.HasCells()) return false;
        std::string path;
        if (!ChooseFile(true, &path)) return false;
        return WriteEolFileReporting(path, storage);
      }
      case kStorageIntoEditor:
        if (!storage.HasCells()) return false;
        MarkAllChanged(&storage);
        if (!Editor(&storage)) return true;
        if (!LinkOk()) return false;
        MarkChangedForWrite(&storage);
        return Transfer(&storage, true);
      case kStorageIntoDevice:
        if (!storage.HasCells() || !LinkOk()) return false;
        MarkAllForWrite(&storage);
        return Transfer(&storage, true);
      default:
        ClearStorage();
        return true;
    }
  }

  // Writes the cell after adjusting, on the device, the checksum of the one area that holds it.
  bool WriteCellKeepingChecksum(const DatasetImage& w, std::uint16_t address, std::uint8_t value) {
    const DeviceDriver* d = Driver();
    if (const ChecksumArea* area = AreaOfAddress(w, address)) {
      std::uint8_t present = 0;
      if (d->ReadDatasetCell(address, &present) == 0) return false;
      const int bytes = ChecksumBytes(area->type);
      std::uint8_t checksum[2] = {0, 0};
      for (int i = 0; i < bytes; ++i) {
        const auto at = static_cast<std::uint16_t>(area->checksumAddress + i);
        if (d->ReadDatasetCell(at, &checksum[i]) == 0) return false;
      }
      if (AdjustChecksum(*area, present, value, checksum)) {
        for (int i = 0; i < bytes; ++i) {
          const auto at = static_cast<std::uint16_t>(area->checksumAddress + i);
          if (d->WriteDatasetCell(at, checksum[i]) == 0) return false;
        }
      }
    }
    return d->WriteDatasetCell(address, value) != 0;
  }

  bool SingleCell() {
    DatasetImage w;
    if (!Layout(&w)) return false;
    if (!LinkOk()) return false;
    cell.Clear();
    cell.start.store(w.start);
    cell.size.store(w.size);
    PostToFrame(UM_OPENEOLCELL, reinterpret_cast<std::intptr_t>(&cell));
    int pollsSinceAbort = 0;
    while (!cell.closed.load()) {
      if (command.load() != kSingleCell || stop.load()) cell.abort.store(true);
      // At exit the worker does not wait for the dialog (the frame closes it itself).
      if (cell.abort.load() && (stop.load() || ++pollsSinceAbort > kCloseWaitPolls)) break;
      const DeviceDriver* d = Driver();
      if (SessionActive() && d != nullptr) {
        cell.start.store(w.start);
        cell.size.store(w.size);
        const std::uint16_t address = cell.address.load();
        const bool inArea = address >= w.start && address < w.size;
        if (cell.readRequest.exchange(false)) {
          std::uint8_t value = 0;
          const bool ok = inArea && d->ReadDatasetCell(address, &value) != 0;
          if (ok) {
            cell.currentValue.store(value);
            cell.refresh.store(true);
          }
          cell.failed.store(!ok);
          cell.served.fetch_add(1);
        }
        if (cell.writeRequest.exchange(false)) {
          const std::uint16_t value = cell.newValue.load();
          const bool ok = inArea && value <= 0xFF &&
                          WriteCellKeepingChecksum(w, address, static_cast<std::uint8_t>(value));
          if (ok) cell.readRequest.store(true);  // read back and shown
          cell.failed.store(!ok);
          cell.served.fetch_add(1);
        }
      } else {
        cell.start.store(0);
        cell.size.store(0);
        cell.readRequest.store(false);
        cell.writeRequest.store(false);
      }
      std::unique_lock lock(mutex);
      changed.wait_for(lock, kPoll);
    }
    return true;
  }

  bool RunCommand(int cmd) {
    if (cmd >= kFileIntoDevice && cmd <= kFileIntoStorage) return FromFile(cmd);
    if (cmd >= kDeviceIntoFile && cmd <= kDeviceIntoStorage) return FromDevice(cmd);
    if (cmd >= kStorageIntoFile && cmd <= kStorageClear) return FromStorage(cmd);
    if (cmd == kSingleCell) return SingleCell();
    return false;
  }

  void Run() {
    while (!stop.load()) {
      if (clearStorage.exchange(false)) ClearStorage();
      const int cmd = command.load();
      if (cmd == 0) {
        std::unique_lock lock(mutex);
        changed.wait_for(lock, kPoll, [this] {
          return stop.load() || command.load() != 0 || clearStorage.load();
        });
        continue;
      }
      const bool ok = RunCommand(cmd);
      lastSucceeded.store(ok);
      {
        std::lock_guard lock(mutex);
        command.store(0);
      }
      changed.notify_all();
    }
    ClearStorage();
    {
      std::lock_guard lock(mutex);
      ended.store(true);
    }
    changed.notify_all();
  }
};

DatasetWorker::DatasetWorker(DatasetFrontEnd* frontEnd)
    : state_(std::make_shared<State>(frontEnd)) {}

DatasetWorker::~DatasetWorker() {
  Stop();
}

void DatasetWorker::Start() {
  if (!state_->ended.load()) return;
  // A worker left running by an earlier Stop() keeps its own state.
  if (state_.use_count() > 1) state_ = std::make_shared<State>(state_->frontEnd);
  state_->stop.store(false);
  state_->ended.store(false);
  state_->storage = DatasetImage{};
  state_->NoteStorage();
  std::thread([s = state_] { s->Run(); }).detach();
}

bool DatasetWorker::Stop() {
  State& s = *state_;
  if (s.ended.load()) return true;
  {
    std::lock_guard lock(s.mutex);
    s.stop.store(true);
  }
  s.changed.notify_all();
  for (int i = 0; i < kStopPolls; ++i) {
    if (s.ended.load()) return true;
    SleepMs(kStopPollMs);
  }
  return s.ended.load();
}

void DatasetWorker::HandleMenu(std::uint32_t menuId) {
  if (menuId == kMenuEolBackup) {
    ProgramSettings().eolBackup = ProgramSettings().eolBackup != 0 ? 0 : 1;
    return;
  }
  const int cmd = DatasetCommandForMenu(menuId);
  if (cmd == 0) return;
  State& s = *state_;
  if (s.command.load() == kSingleCell) {
    if (cmd == kSingleCell) {
      std::lock_guard lock(s.mutex);
      s.command.store(0);
    }
    s.changed.notify_all();
    return;
  }
  SetCommand(cmd);
}

bool DatasetWorker::SetCommand(int command) {
  State& s = *state_;
  if (command < kFileIntoDevice || command > kSingleCell || s.ended.load()) return false;
  {
    std::lock_guard lock(s.mutex);
    int idle = 0;
    if (!s.command.compare_exchange_strong(idle, command)) return false;
  }
  s.changed.notify_all();
  return true;
}

int DatasetWorker::Command() const {
  return state_->command.load();
}

bool DatasetWorker::WaitIdle(std::chrono::milliseconds limit) const {
  State& s = *state_;
  std::unique_lock lock(s.mutex);
  return s.changed.wait_for(lock, limit, [&s] { return s.command.load() == 0 || s.ended.load(); });
}

bool DatasetWorker::LastCommandSucceeded() const {
  return state_->lastSucceeded.load();
}

bool DatasetWorker::IsTemporaryStorageFilled() const {
  return state_->storageFilled.load();
}

void DatasetWorker::ResetTemporaryStorage() {
  State& s = *state_;
  {
    std::lock_guard lock(s.mutex);
    s.clearStorage.store(true);
  }
  s.changed.notify_all();
}

DatasetImage DatasetWorker::TemporaryStorageCopy() const {
  return state_->storage;
}

TransferProgress& DatasetWorker::Progress() {
  return state_->progress;
}

CellRequest& DatasetWorker::Cell() {
  return state_->cell;
}

}  // namespace heatdiag
