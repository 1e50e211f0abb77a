// The Fault list: the fault memory read from the control unit, one group of rows per stored
// fault (its short text, state and details indented below), "no fault" once the data are
// complete and the memory is empty. Activating a row shows the long description of its fault.
#pragma once

#include <QString>
#include <functional>

#include "shell/gui/document_view.h"
#include "shell/gui/queued_target.h"
#include "views/fault_list.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace heatdiag {

class FrameWindow;

class FaultView final : public DocumentView {
  Q_OBJECT
 public:
  static constexpr int kMargin = 6;
  static constexpr int kMinFractionWidth = 100;

  // Shows a fault description box (owner, caption, text); tests replace it.
  using DescriptionBox = std::function<void(QWidget*, const QString&, const QString&)>;

  FaultView(QueuedMessageTarget& target, QWidget* parent = nullptr);
  ~FaultView() override;

  QTreeWidget* List() const { return list_; }
  int RowCount() const;
  const FaultListRows& Rows() const { return rows_; }

  // A store notification (1044..1049).
  void HandleStoreMessage(std::uint32_t message, std::intptr_t a, std::intptr_t b);
  // The user activated list row `row` (double click or Enter).
  void ActivateRow(int row);
  void ApplyColumnFractions();
  void ColumnResized(int column);

  static void SetDescriptionBox(DescriptionBox box);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Clear();
  void Build();
  void UpdateItem(std::uint32_t item);
  bool IsMinimised() const;

  QueuedMessageTarget& target_;
  QTreeWidget* list_ = nullptr;
  FaultListRows rows_;
  bool busy_ = false;
};

// Installs the Fault list's factory into the frame.
void RegisterFaultView(FrameWindow& frame);

}  // namespace heatdiag
