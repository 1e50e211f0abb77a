// The three list views of the store's values: Parameter list, Device informations and
// Operating data. Each is a three-column table "Parameter" / "Value" / "Unit" built from the
// store rows of its categories and kept up to date from the store's notifications.
#pragma once

#include <QTimer>
#include <cstdint>
#include <vector>

#include "shell/gui/document_view.h"
#include "shell/gui/queued_target.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace heatdiag {

class FrameWindow;

// What differs between the three list views.
struct ListViewLayout {
  ViewKind kind;
  std::uint32_t subscriptionMask;  // store groups whose notifications the view receives
  std::uint32_t rowFilter;         // categories of the rows it shows
  bool deferredRebuild;            // Parameter list: rebuilds on a timer, at most 1000 rows
  double Settings::*columnFraction0;
  double Settings::*columnFraction1;
};

const ListViewLayout& ListViewLayoutOf(ViewKind kind);

class ListView final : public DocumentView {
  Q_OBJECT
 public:
  static constexpr int kMaxParameterRows = 1000;
  static constexpr int kRebuildPeriodMs = 250;
  static constexpr int kMargin = 6;
  static constexpr int kMinFractionWidth = 100;

  // target: the view kind's long-lived message target (the store keeps its address).
  ListView(ViewKind kind, QueuedMessageTarget& target, QWidget* parent = nullptr);
  ~ListView() override;

  QTreeWidget* List() const { return list_; }
  int RowCount() const;
  // The store row a list row shows; -1 for none (the "no data available" row).
  int ItemOfRow(int row) const;
  bool RebuildPending() const { return rebuildPending_; }

  // A store notification (1044..1049).
  void HandleStoreMessage(std::uint32_t message, std::intptr_t a, std::intptr_t b);
  // One tick of the Parameter list's rebuild timer.
  void RebuildTick();
  // Sets the three column widths from the view's fractions.
  void ApplyColumnFractions();
  // The user finished resizing a column: the fractions follow (lists at least 100 pixels wide).
  void ColumnResized(int column);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Clear();
  void Build();
  void Rebuild();
  void UpdateItem(std::uint32_t item);
  QTreeWidgetItem* MakeRow(std::uint32_t item) const;
  bool IsMinimised() const;
  int ListWidth() const;

  const ListViewLayout& layout_;
  QueuedMessageTarget& target_;
  QTreeWidget* list_ = nullptr;
  QTimer rebuildTimer_;
  std::vector<std::uint32_t> rowItems_;  // Parameter list: the store row of each list row
  bool busy_ = false;
  bool rebuildPending_ = false;
};

// Value text of a store row as the views show it: empty unless the row is present and shown;
// nullopt when the store cannot produce it (the cell is then left as it is).
std::optional<QString> StoreValueText(std::uint32_t item);

// Installs the factories of the three list views into the frame.
void RegisterListViews(FrameWindow& frame);

}  // namespace heatdiag
