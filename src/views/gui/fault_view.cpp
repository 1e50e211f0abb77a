#include "views/gui/fault_view.h"

#include <QEvent>
#include <QHeaderView>
#include <QMessageBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>

#include "base/string_table.h"
#include "drivers/diag_store.h"
#include "shell/gui/frame_window.h"
#include "views/fault_texts.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kColumnParameterId = 20000;
constexpr std::uint32_t kColumnValueId = 20001;
constexpr std::uint32_t kColumnUnitId = 20002;
constexpr int kItemRole = Qt::UserRole;
constexpr double kDefaultFraction0 = 0.5;
constexpr double kDefaultFraction1 = 0.3;

FaultView::DescriptionBox& TheDescriptionBox() {
  static FaultView::DescriptionBox box = [](QWidget* owner, const QString& caption,
                                            const QString& text) {
    QMessageBox::information(owner, caption, text);
  };
  return box;
}

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

double UsableFraction(double value, double fallback) {
  return std::isfinite(value) && value >= 0.0 && value <= 1.0 ? value : fallback;
}

}  // namespace

void FaultView::SetDescriptionBox(DescriptionBox box) {
  TheDescriptionBox() = std::move(box);
}

FaultView::FaultView(QueuedMessageTarget& target, QWidget* parent)
    : DocumentView(ViewKind::kFaultList, parent), target_(target) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin + 1, kMargin + 1);
  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("List"));
  list_->setColumnCount(3);
  list_->setHeaderLabels({QString::fromStdString(LoadString(kColumnParameterId, 79)),
                          QString::fromStdString(LoadString(kColumnValueId, 79)),
                          QString::fromStdString(LoadString(kColumnUnitId, 79))});
  list_->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setFrameShape(QFrame::StyledPanel);
  list_->header()->setStretchLastSection(true);
  list_->header()->setSectionsMovable(false);
  list_->header()->setSectionsClickable(false);
  list_->viewport()->installEventFilter(this);
  layout->addWidget(list_);
  connect(list_->header(), &QHeaderView::sectionResized, this,
          [this](int column, int, int) { ColumnResized(column); });
  // Double click or Enter: the description of the row's fault.
  connect(list_, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item, int) { ActivateRow(list_->indexOfTopLevelItem(item)); });

  target_.SetHandler([this](std::uint32_t message, std::intptr_t a,
                            std::intptr_t b) { HandleStoreMessage(message, a, b); },
                     this);
  Build();
  StoreSubscribe(&target_, kFaultListMask, 0);
}

FaultView::~FaultView() {
  if (target_.ClearHandler(this)) StoreUnsubscribe(&target_);
}

int FaultView::RowCount() const {
  return list_->topLevelItemCount();
}

bool FaultView::IsMinimised() const {
  const QWidget* frame = parentWidget();
  return frame != nullptr && frame->isMinimized();
}

void FaultView::Clear() {
  busy_ = true;
  list_->clear();
  rows_ = FaultListRows{};
  rows_.itemCount = StoreRowCount();
  rows_.rowFault.fill(rows_.itemCount);
  busy_ = false;
}

void FaultView::Build() {
  busy_ = true;
  rows_ = BuildFaultList();
  QList<QTreeWidgetItem*> items;
  for (const FaultListRow& row : rows_.rows) {
    auto* item = new QTreeWidgetItem;
    item->setText(0, FromUtf8(row.name));
    item->setText(1, FromUtf8(row.value));
    item->setText(2, FromUtf8(row.unit));
    item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    // The "no fault" row has no store row: value updates never touch it.
    if (row.item) item->setData(0, kItemRole, static_cast<int>(*row.item));
    items.append(item);
  }
  list_->addTopLevelItems(items);
  busy_ = false;
}

void FaultView::UpdateItem(std::uint32_t item) {
  for (int i = 0; i < RowCount(); ++i) {
    QTreeWidgetItem* entry = list_->topLevelItem(i);
    bool ok = false;
    const int shown = entry->data(0, kItemRole).toInt(&ok);
    if (!ok || shown != static_cast<int>(item)) continue;
    const auto value = FaultValueText(item);
    if (!value) return;
    busy_ = true;
    entry->setText(1, FromUtf8(*value));
    busy_ = false;
    return;
  }
}

void FaultView::HandleStoreMessage(std::uint32_t message, std::intptr_t a, std::intptr_t) {
  const auto item = static_cast<std::uint32_t>(a);
  switch (message) {
    case UM_VALUECHANGED:
    case UM_SHOWNCHANGED:
      UpdateItem(item);
      break;
    case UM_PRESENTCHANGED:
      // A fault appeared or went (after the memory was read again, or cleared).
      if (StoreIsDataValid() && StoreRowInGroup(item, kFaultListMask) != 0) {
        if (RowCount() > 0) Clear();
        Build();
      }
      break;
    case UM_DATARELEASED:
      Clear();
      break;
    case UM_DATAREADY:
      if (RowCount() > 0) Clear();
      Build();
      break;
    default:
      break;
  }
}

void FaultView::ActivateRow(int row) {
  if (row < 0) return;
  const auto description = FaultDescriptionOfRow(rows_, static_cast<std::size_t>(row));
  if (!description) return;
  QWidget* owner = TheFrame() != nullptr ? static_cast<QWidget*>(TheFrame()) : this;
  TheDescriptionBox()(owner, QString::fromStdString(LoadString(kTextFaultDescriptionCaption, 255)),
                      FromUtf8(*description));
}

void FaultView::ApplyColumnFractions() {
  const Settings& settings = ProgramSettings();
  const double f0 = UsableFraction(settings.errorViewClm1, kDefaultFraction0);
  const double f1 = UsableFraction(settings.errorViewClm2, kDefaultFraction1);
  const int w = list_->viewport()->width();
  const int c0 = static_cast<int>(w * f0);
  const int c1 = static_cast<int>(w * f1);
  busy_ = true;
  list_->header()->resizeSection(0, c0);
  list_->header()->resizeSection(1, c1);
  list_->header()->resizeSection(2, std::max(0, w - c0 - c1));
  busy_ = false;
}

void FaultView::ColumnResized(int column) {
  if (busy_ || column > 1 || IsMinimised()) return;
  const int w = list_->viewport()->width();
  if (w < kMinFractionWidth) return;
  Settings& settings = ProgramSettings();
  settings.errorViewClm1 = static_cast<double>(list_->header()->sectionSize(0)) / w;
  settings.errorViewClm2 = static_cast<double>(list_->header()->sectionSize(1)) / w;
}

bool FaultView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_->viewport() && event->type() == QEvent::Resize && !IsMinimised())
    ApplyColumnFractions();
  return DocumentView::eventFilter(watched, event);
}

void RegisterFaultView(FrameWindow& frame) {
  frame.SetViewFactory(ViewKind::kFaultList,
                       [&frame] { return new FaultView(frame.ViewTarget(ViewKind::kFaultList)); });
}

}  // namespace heatdiag
