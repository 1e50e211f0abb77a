// The dataset worker's commands against a unit kept in memory: a device record whose dataset
// operations work on an EEPROM array, and a frame that answers the worker's dialogs.
#include "dataset/dataset_worker.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <vector>

#include "base/frame_sink.h"
#include "base/settings.h"
#include "dataset/addresses.h"
#include "dataset/eol_file.h"
#include "drivers/device_table.h"

namespace heatdiag {
namespace {

using namespace std::chrono_literals;

// The unit: its EEPROM, the layout it reports and faults to show.
struct FakeUnit {
  std::mutex mutex;
  std::vector<std::uint8_t> eeprom;
  DatasetImage layout;
  int failReadAt = -1;  // a read of this address fails
  std::vector<std::uint16_t> written;
  bool session = true;
};
FakeUnit* g_unit = nullptr;

int Active() {
  return g_unit->session ? 1 : 0;
}
int Layout(DatasetImage* image) {
  if (image == nullptr || image->tag != DATASET_IMAGE_TAG) return 0;
  std::lock_guard lock(g_unit->mutex);
  CopyDatasetImage(image, &g_unit->layout);
  return 1;
}
int Read(DatasetRequest* r) {
  std::lock_guard lock(g_unit->mutex);
  for (std::uint32_t a = r->first; a < r->end; ++a) {
    DatasetCell& c = r->cells[a];
    if ((c.flags & CELL_READ) == 0) continue;
    if (static_cast<int>(a) == g_unit->failReadAt) return 0;
    c.flags = static_cast<std::uint8_t>((c.flags & ~(CELL_READ | CELL_CHANGED)) | CELL_VALID);
    c.value = c.alt = g_unit->eeprom[a];
    if (r->currentAddress != nullptr) r->currentAddress->store(a);
  }
  return 1;
}
int Write(DatasetRequest* r) {
  std::lock_guard lock(g_unit->mutex);
  for (std::uint32_t a = r->first; a < r->end; ++a) {
    DatasetCell& c = r->cells[a];
    if ((c.flags & CELL_WRITE) == 0) continue;
    c.flags = static_cast<std::uint8_t>(c.flags & ~(CELL_WRITE | CELL_CHANGED));
    g_unit->eeprom[a] = c.value;
    g_unit->written.push_back(static_cast<std::uint16_t>(a));
  }
  return 1;
}
int ReadCell(std::uint16_t a, std::uint8_t* v) {
  std::lock_guard lock(g_unit->mutex);
  if (a >= g_unit->eeprom.size() || static_cast<int>(a) == g_unit->failReadAt) return 0;
  *v = g_unit->eeprom[a];
  return 1;
}
int WriteCell(std::uint16_t a, std::uint8_t v) {
  std::lock_guard lock(g_unit->mutex);
  if (a >= g_unit->eeprom.size()) return 0;
  g_unit->eeprom[a] = v;
  g_unit->written.push_back(a);
  return 1;
}

// The frame: answers the addresses dialog with fields, the editor with an edit, and keeps the
// cell dialog's request.
class DialogFrame : public MessageTarget {
 public:
  void Post(std::uint32_t message, std::intptr_t a, std::intptr_t) override {
    std::lock_guard lock(mutex);
    messages.push_back(message);
    if (message == UM_EOLADDRESSES) {
      auto* r = reinterpret_cast<AddressRequest*>(a);
      if (addresses) ApplyAddressesOk(r->image, r->image->size, *addresses, nullptr);
      r->done.store(true);
    } else if (message == UM_EOLEDITOR) {
      auto* r = reinterpret_cast<EditorRequest*>(a);
      if (edit) edit(*r->image);
      r->program.store(program);
      r->done.store(true);
    } else if (message == UM_OPENEOLCELL) {
      cell = reinterpret_cast<CellRequest*>(a);
    }
  }
  void Send(std::uint32_t message, std::intptr_t a, std::intptr_t b) override {
    Post(message, a, b);
  }
  std::size_t Count(std::uint32_t message) {
    std::lock_guard lock(mutex);
    return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), message));
  }
  CellRequest* Cell() {
    std::lock_guard lock(mutex);
    return cell;
  }

  std::mutex mutex;
  std::vector<std::uint32_t> messages;
  std::optional<AddressFields> addresses;
  std::function<void(DatasetImage&)> edit;
  bool program = true;
  CellRequest* cell = nullptr;
};

class Files : public DatasetFrontEnd {
 public:
  bool ChooseEolFile(bool forSaving, std::string* path) override {
    *path = forSaving ? saveAs : open;
    return !path->empty();
  }
  std::string open, saveAs;
};

class DatasetWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_unit = &unit;
    record_[0].IsSessionActive = Active;
    record_[0].GetDatasetLayout = Layout;
    record_[0].ReadDataset = Read;
    record_[0].WriteDataset = Write;
    record_[0].ReadDatasetCell = ReadCell;
    record_[0].WriteDatasetCell = WriteCell;
    table_.emplace(record_);
    SelectDevice(0);
    unit.eeprom.resize(256);
    for (std::size_t a = 0; a < 256; ++a) unit.eeprom[a] = static_cast<std::uint8_t>(a * 7);
    SetLayout(0x10, 256, {{0x10, 0xFD, 0xFE, SUM8}});
    SetFrameTarget(&frame);
    ProgramSettings().eolBackup = 0;
    dir_ = std::filesystem::temp_directory_path() / ("dataset_worker_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    worker.Start();
  }
  void TearDown() override {
    EXPECT_TRUE(worker.Stop());
    SetFrameTarget(nullptr);
    SelectDevice(kNoDevice);
    table_.reset();
    std::filesystem::remove_all(dir_);
    g_unit = nullptr;
  }
  void SetLayout(std::uint16_t start, std::uint16_t size, std::vector<ChecksumArea> areas) {
    unit.layout = DatasetImage{};
    unit.layout.start = start;
    unit.layout.size = size;
    unit.layout.cells.assign(size, DatasetCell{});
    unit.layout.areas = std::move(areas);
    unit.layout.areaCount = static_cast<std::uint16_t>(unit.layout.areas.size());
  }
  bool Run(int command) {
    EXPECT_TRUE(worker.SetCommand(command));
    EXPECT_TRUE(worker.WaitIdle(10s));
    return worker.LastCommandSucceeded();
  }
  std::string File(const std::string& name, const std::string& text) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path) << text;
    return path;
  }

  FakeUnit unit;
  DialogFrame frame;
  Files files;
  DatasetWorker worker{&files};
  std::filesystem::path dir_;

 private:
  std::array<DeviceDriver, kDeviceCount> record_{};
  std::optional<ScopedDeviceTable> table_;
};

TEST_F(DatasetWorkerTest, BackupBeforeProgrammingAndItsRestore) {
  ProgramSettings().eolBackup = 1;
  const auto original = unit.eeprom;
  files.open = File("new.eol", "0020 AA\n0021 BB\n");
  ASSERT_TRUE(Run(kFileIntoDevice));
  EXPECT_EQ(unit.eeprom[0x20], 0xAA);
  EXPECT_EQ(unit.eeprom[0x21], 0xBB);
  EXPECT_EQ(unit.written, (std::vector<std::uint16_t>{0x20, 0x21}));  // only the file's cells
  ASSERT_TRUE(worker.IsTemporaryStorageFilled());
  const DatasetImage backup = worker.TemporaryStorageCopy();
  EXPECT_EQ(backup.cells[0x20].value, original[0x20]);

  // A second programming keeps the first backup.
  files.open = File("other.eol", "0020 01\n");
  ASSERT_TRUE(Run(kFileIntoDevice));
  EXPECT_EQ(worker.TemporaryStorageCopy().cells[0x20].value, original[0x20]);

  ASSERT_TRUE(Run(kStorageIntoDevice));
  for (std::size_t a = 0x10; a < 256; ++a) EXPECT_EQ(unit.eeprom[a], original[a]) << a;
  EXPECT_GE(frame.Count(UM_TRANSFERDIALOG), 4u);
}

TEST_F(DatasetWorkerTest, FailedBackupReadWritesNothing) {
  ProgramSettings().eolBackup = 1;
  unit.failReadAt = 0x80;
  files.open = File("new.eol", "0020 AA\n");
  EXPECT_FALSE(Run(kFileIntoDevice));
  EXPECT_TRUE(unit.written.empty());
  EXPECT_FALSE(worker.IsTemporaryStorageFilled());
}

TEST_F(DatasetWorkerTest, SyntaxErrorWritesNothing) {
  files.open = File("bad.eol", "0020 AA\n0021 100\n");
  EXPECT_FALSE(Run(kFileIntoDevice));
  EXPECT_TRUE(unit.written.empty());
}

TEST_F(DatasetWorkerTest, EditorProgramsOnlyChangedCellsAndBacksUpWhatWasRead) {
  ProgramSettings().eolBackup = 1;
  const auto original = unit.eeprom;
  frame.edit = [](DatasetImage& image) {
    image.cells[0x30].value = 0x55;
    image.cells[0x30].flags |= CELL_CHANGED;
    RecalculateChecksums(&image);
  };
  ASSERT_TRUE(Run(kDeviceIntoEditor));
  EXPECT_EQ(unit.written, (std::vector<std::uint16_t>{0x30, 0xFE}));
  EXPECT_EQ(unit.eeprom[0x30], 0x55);
  const DatasetImage backup = worker.TemporaryStorageCopy();
  EXPECT_EQ(backup.cells[0x30].value, original[0x30]);
  EXPECT_EQ(backup.cells[0xFE].value, original[0xFE]);
}

TEST_F(DatasetWorkerTest, DeviceIntoFileAndTheAddressesDialog) {
  SetLayout(0, 0, {});  // the unit reports no layout: the dialog supplies one
  frame.addresses = AddressFields{"10", "256", "10", "FD", "FE"};
  files.saveAs = (dir_ / "out.eol").string();
  ASSERT_TRUE(Run(kDeviceIntoFile));
  EXPECT_EQ(frame.Count(UM_EOLADDRESSES), 1u);
  DatasetImage back;
  back.start = 0x10;
  back.size = 256;
  back.cells.resize(256);
  ASSERT_TRUE(ReadEolFile(files.saveAs, &back, nullptr));
  EXPECT_EQ(back.cells[0x20].value, unit.eeprom[0x20]);

  // A cancelled dialog without start and size ends the command.
  frame.addresses.reset();
  EXPECT_FALSE(Run(kDeviceIntoStorage));
  EXPECT_FALSE(worker.IsTemporaryStorageFilled());
}

TEST_F(DatasetWorkerTest, SingleCellWriteAdjustsOnlyItsAreasChecksum) {
  SetLayout(0, 256, {{0, 68, 69, SUM16_HILO}, {71, 238, 239, SUM16_HILO}});
  DatasetImage sums;
  CopyDatasetImage(&sums, &unit.layout);
  for (std::size_t a = 0; a < 256; ++a) sums.cells[a].value = unit.eeprom[a];
  RecalculateChecksums(&sums);
  for (std::size_t a = 0; a < 256; ++a) unit.eeprom[a] = sums.cells[a].value;
  const auto before = unit.eeprom;

  ASSERT_TRUE(worker.SetCommand(kSingleCell));
  CellRequest* cell = nullptr;
  const auto end = std::chrono::steady_clock::now() + 10s;
  while ((cell = frame.Cell()) == nullptr && std::chrono::steady_clock::now() < end)
    std::this_thread::yield();
  ASSERT_NE(cell, nullptr);
  cell->address.store(100);
  cell->newValue.store(static_cast<std::uint8_t>(before[100] + 3));
  cell->writeRequest.store(true);
  while (!cell->refresh.load() && std::chrono::steady_clock::now() < end) std::this_thread::yield();
  ASSERT_TRUE(cell->refresh.load());
  EXPECT_EQ(cell->currentValue.load(), static_cast<std::uint8_t>(before[100] + 3));

  for (std::size_t a = 0; a < 256; ++a) sums.cells[a].value = unit.eeprom[a];
  const auto second = ComputeChecksum(sums, sums.areas[1]);
  EXPECT_EQ(StoredChecksum(sums, sums.areas[1]), second);
  EXPECT_EQ(unit.eeprom[69], before[69]);  // the other area's checksum stays
  EXPECT_EQ(unit.eeprom[68], before[68]);

  // F6 again ends the command and asks the dialog to close.
  worker.HandleMenu(kMenuSingleCell);
  while (!cell->abort.load() && std::chrono::steady_clock::now() < end) std::this_thread::yield();
  EXPECT_TRUE(cell->abort.load());
  cell->closed.store(true);
  EXPECT_TRUE(worker.WaitIdle(10s));
}

TEST_F(DatasetWorkerTest, StorageCommandsAndMenu) {
  ASSERT_TRUE(Run(kDeviceIntoStorage));
  EXPECT_TRUE(worker.IsTemporaryStorageFilled());
  files.saveAs = (dir_ / "t.eol").string();
  ASSERT_TRUE(Run(kStorageIntoFile));
  EXPECT_TRUE(std::filesystem::exists(files.saveAs));
  worker.HandleMenu(32789);  // "clear"
  EXPECT_TRUE(worker.WaitIdle(10s));
  EXPECT_FALSE(worker.IsTemporaryStorageFilled());
  EXPECT_FALSE(Run(kStorageIntoDevice));
  EXPECT_TRUE(unit.written.empty());

  ProgramSettings().eolBackup = 0;
  worker.HandleMenu(kMenuEolBackup);
  EXPECT_EQ(ProgramSettings().eolBackup, 1);
  worker.HandleMenu(kMenuEolBackup);
  EXPECT_EQ(ProgramSettings().eolBackup, 0);
}

TEST_F(DatasetWorkerTest, StopsWhileACellDialogStaysOpen) {
  ASSERT_TRUE(worker.SetCommand(kSingleCell));
  const auto end = std::chrono::steady_clock::now() + 10s;
  while (frame.Cell() == nullptr && std::chrono::steady_clock::now() < end)
    std::this_thread::yield();
  // Nobody closes the dialog: the worker still ends within the bounded wait at exit.
  EXPECT_TRUE(worker.Stop());
}

}  // namespace
}  // namespace heatdiag
