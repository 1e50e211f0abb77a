// The Dataset menu on the desktop: the dataset worker with the frame's dialogs as its front end.
#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>
#include <string>

#include "dataset/dataset_worker.h"
#include "dataset/gui/dataset_dialogs.h"

namespace heatdiag {

class FrameWindow;

class DatasetFunctions final : public QObject, public DatasetFrontEnd {
  Q_OBJECT
 public:
  explicit DatasetFunctions(FrameWindow& frame);
  ~DatasetFunctions() override;

  DatasetWorker& Worker() { return worker_; }
  // Started with the program, stopped at exit within the worker's bounded wait.
  void Start();
  void Stop();
  EolCellDialog* CellDialog() const { return cell_.data(); }

  // DatasetFrontEnd, on the worker's thread: the file dialog runs on the frame's thread with the
  // ReadEOL / WriteEOL setting as the file offered.
  bool ChooseEolFile(bool forSaving, std::string* path) override;

  // The menu's commands, and the worker's dialog messages on the frame's thread.
  void HandleCommand(std::uint32_t id);
  void OpenAddresses(std::intptr_t request);
  void OpenEditor(std::intptr_t request);
  void OpenCell(std::intptr_t request);
  void OpenTransfer(std::intptr_t progress);

 private:
  FrameWindow& frame_;
  DatasetWorker worker_;
  QPointer<EolCellDialog> cell_;
  std::atomic<bool> stopping_{false};
};

// Routes the Dataset menu's commands and the worker's dialog messages to a new DatasetFunctions
// (owned by the frame) and starts its worker.
DatasetFunctions* RegisterDatasetFunctions(FrameWindow& frame);

}  // namespace heatdiag
