#include "dataset/gui/dataset_menu.h"

#include "base/messages.h"
#include "base/settings.h"
#include "dataset/addresses.h"
#include "dataset/gui/dataset_dialogs.h"
#include "dataset/gui/eol_editor_dialog.h"
#include "shell/gui/commands.h"
#include "shell/gui/frame_window.h"
#include "shell/gui/queued_target.h"

namespace heatdiag {

DatasetFunctions::DatasetFunctions(FrameWindow& frame)
    : QObject(&frame), frame_(frame), worker_(this) {}

DatasetFunctions::~DatasetFunctions() {
  Stop();
}

void DatasetFunctions::Start() {
  worker_.Start();
}

void DatasetFunctions::Stop() {
  if (stopping_.exchange(true)) return;
  worker_.Stop();
}

bool DatasetFunctions::ChooseEolFile(bool forSaving, std::string* path) {
  bool chosen = false;
  RunOnGuiThreadAndWait(
      &frame_,
      [this, forSaving, path, &chosen] {
        Settings& settings = ProgramSettings();
        std::string& last = forSaving ? settings.writeEol : settings.readEol;
        std::string file = last;
        chosen = heatdiag::ChooseEolFile(&frame_, forSaving, &file);
        if (chosen) {
          last = file;
          *path = file;
        }
      },
      [this] { return stopping_.load(); });
  return chosen;
}

void DatasetFunctions::HandleCommand(std::uint32_t id) {
  if (id == kCmdBlockBaud) {
    BlockBaudDialog dialog(&frame_);
    dialog.exec();
    return;
  }
  worker_.HandleMenu(id);
}

void DatasetFunctions::OpenAddresses(std::intptr_t request) {
  AddressesDialog dialog(*reinterpret_cast<AddressRequest*>(request), &frame_);
  dialog.exec();
}

void DatasetFunctions::OpenEditor(std::intptr_t request) {
  // What the device held, for the mark on cells that will differ from it.
  const DatasetImage storage = worker_.TemporaryStorageCopy();
  EolEditorDialog dialog(*reinterpret_cast<EditorRequest*>(request),
                         storage.HasCells() ? &storage : nullptr, &frame_);
  dialog.exec();
}

void DatasetFunctions::OpenCell(std::intptr_t request) {
  if (!cell_.isNull()) cell_->close();
  auto* dialog = new EolCellDialog(*reinterpret_cast<CellRequest*>(request), &frame_);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  cell_ = dialog;
  dialog->show();
}

void DatasetFunctions::OpenTransfer(std::intptr_t progress) {
  TransferDialog dialog(*reinterpret_cast<TransferProgress*>(progress), &frame_);
  dialog.exec();
}

DatasetFunctions* RegisterDatasetFunctions(FrameWindow& frame) {
  auto* functions = new DatasetFunctions(frame);
  for (std::uint32_t id = kCmdFileIntoDevice; id <= kCmdStorageClear; ++id)
    frame.SetCommandHandler(id, [functions](std::uint32_t c) { functions->HandleCommand(c); });
  for (std::uint32_t id : {kCmdEolCell, kCmdBlockBaud})
    frame.SetCommandHandler(id, [functions](std::uint32_t c) { functions->HandleCommand(c); });
  frame.SetMessageHandler(UM_EOLADDRESSES, [functions](std::intptr_t a, std::intptr_t) {
    functions->OpenAddresses(a);
  });
  frame.SetMessageHandler(
      UM_EOLEDITOR, [functions](std::intptr_t a, std::intptr_t) { functions->OpenEditor(a); });
  frame.SetMessageHandler(UM_OPENEOLCELL,
                          [functions](std::intptr_t a, std::intptr_t) { functions->OpenCell(a); });
  frame.SetMessageHandler(UM_TRANSFERDIALOG, [functions](std::intptr_t a, std::intptr_t) {
    functions->OpenTransfer(a);
  });
  frame.AddCommandStateSource([functions](CommandState& state) {
    state.datasetCommand = functions->Worker().Command();
    state.storageFilled = functions->Worker().IsTemporaryStorageFilled();
  });
  functions->Start();
  return functions;
}

}  // namespace heatdiag
