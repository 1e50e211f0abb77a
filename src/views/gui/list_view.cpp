#include "views/gui/list_view.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <cmath>

#include "base/string_table.h"
#include "drivers/catalogue/parameter.h"
#include "drivers/diag_store.h"
#include "shell/gui/frame_window.h"

namespace heatdiag {
namespace {

constexpr std::uint32_t kColumnParameterId = 20000;
constexpr std::uint32_t kColumnValueId = 20001;
constexpr std::uint32_t kColumnUnitId = 20002;
constexpr std::uint32_t kNoDataId = 23008;
constexpr std::size_t kMaxNameChars = 255;
constexpr std::size_t kMaxValueChars = 63;
constexpr std::size_t kMaxUnitChars = 63;
constexpr int kItemRole = Qt::UserRole;
constexpr double kDefaultFraction0 = 0.5;
constexpr double kDefaultFraction1 = 0.3;

const std::array<ListViewLayout, 3> kLayouts = {{
    {ViewKind::kParameterList, 0xFFFF, kViewParameterList, true, &Settings::parViewClm1,
     &Settings::parViewClm2},
    {ViewKind::kDeviceInfo, 0x0050, 0x0050, false, &Settings::infoViewClm1,
     &Settings::infoViewClm2},
    {ViewKind::kOperatingData, kViewOperatingData, kViewOperatingData, false,
     &Settings::workViewClm1, &Settings::workViewClm2},
}};

QString FromUtf8(const std::string& text, std::size_t maxChars) {
  return QString::fromStdString(text.substr(0, std::min(text.size(), maxChars)));
}

// A fraction as read from the settings: anything outside 0..1 falls back to the default.
double UsableFraction(double value, double fallback) {
  return std::isfinite(value) && value >= 0.0 && value <= 1.0 ? value : fallback;
}

}  // namespace

const ListViewLayout& ListViewLayoutOf(ViewKind kind) {
  for (const ListViewLayout& layout : kLayouts) {
    if (layout.kind == kind) return layout;
  }
  return kLayouts[0];
}

std::optional<QString> StoreValueText(std::uint32_t item) {
  if (StoreGetPresent(item) == 0 || StoreGetShown(item) == 0) return QString();
  char text[kMaxValueChars + 1] = {};
  if (StoreRead(item, kStoreText, sizeof text, text) == 0) return std::nullopt;
  return QString::fromUtf8(text);
}

ListView::ListView(ViewKind kind, QueuedMessageTarget& target, QWidget* parent)
    : DocumentView(kind, parent), layout_(ListViewLayoutOf(kind)), target_(target) {
  auto* layout = new QVBoxLayout(this);
  // The list fills the view with a 6-pixel margin (width - 13, height - 13).
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
  list_->setAlternatingRowColors(true);
  list_->setFrameShape(QFrame::StyledPanel);
  list_->header()->setStretchLastSection(true);
  list_->header()->setSectionsMovable(false);
  list_->header()->setSectionsClickable(false);
  list_->viewport()->installEventFilter(this);
  layout->addWidget(list_);
  connect(list_->header(), &QHeaderView::sectionResized, this,
          [this](int column, int, int) { ColumnResized(column); });

  target_.SetHandler([this](std::uint32_t message, std::intptr_t a,
                            std::intptr_t b) { HandleStoreMessage(message, a, b); },
                     this);
  if (layout_.deferredRebuild) {
    StoreSubscribe(&target_, layout_.subscriptionMask, 0);
    Build();
    rebuildTimer_.setInterval(kRebuildPeriodMs);
    connect(&rebuildTimer_, &QTimer::timeout, this, [this] { RebuildTick(); });
    rebuildTimer_.start();
  } else {
    Build();
    StoreSubscribe(&target_, layout_.subscriptionMask, 0);
  }
}

ListView::~ListView() {
  rebuildTimer_.stop();
  // A view of the same kind opened before this one was deleted owns the target by now.
  if (target_.ClearHandler(this)) StoreUnsubscribe(&target_);
}

int ListView::RowCount() const {
  return list_->topLevelItemCount();
}

int ListView::ItemOfRow(int row) const {
  const QTreeWidgetItem* item = list_->topLevelItem(row);
  if (item == nullptr) return -1;
  bool ok = false;
  const int index = item->data(0, kItemRole).toInt(&ok);
  return ok ? index : -1;
}

bool ListView::IsMinimised() const {
  const QWidget* frame = parentWidget();
  return frame != nullptr && frame->isMinimized();
}

int ListView::ListWidth() const {
  return list_->viewport()->width();
}

QTreeWidgetItem* ListView::MakeRow(std::uint32_t item) const {
  auto* row = new QTreeWidgetItem;
  row->setText(0, FromUtf8(StoreGetName(item, NameForm::kLong), kMaxNameChars));
  if (const auto value = StoreValueText(item)) row->setText(1, *value);
  row->setText(2, FromUtf8(StoreGetUnit(item), kMaxUnitChars));
  row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
  row->setData(0, kItemRole, static_cast<int>(item));
  return row;
}

void ListView::Clear() {
  busy_ = true;
  list_->clear();
  rowItems_.clear();
  busy_ = false;
}

void ListView::Build() {
  busy_ = true;
  QList<QTreeWidgetItem*> rows;
  const std::uint32_t count = StoreRowCount();
  for (std::uint32_t item = 0; item < count; ++item) {
    if (layout_.deferredRebuild && rows.size() >= kMaxParameterRows) break;
    if (StoreGetPresent(item) == 0 || StoreRowInGroup(item, layout_.rowFilter) == 0) continue;
    rows.append(MakeRow(item));
    if (layout_.deferredRebuild) rowItems_.push_back(item);
  }
  if (rows.isEmpty() && !layout_.deferredRebuild && StoreIsDataValid()) {
    auto* row = new QTreeWidgetItem;
    row->setText(0, QString::fromStdString(LoadString(kNoDataId, kMaxNameChars)));
    rows.append(row);  // no store row: value updates never touch it
  }
  list_->addTopLevelItems(rows);
  busy_ = false;
}

void ListView::Rebuild() {
  const int scroll = list_->verticalScrollBar()->value();
  Clear();
  Build();
  list_->verticalScrollBar()->setValue(scroll);
}

void ListView::UpdateItem(std::uint32_t item) {
  int row = -1;
  if (layout_.deferredRebuild) {
    const auto it = std::find(rowItems_.begin(), rowItems_.end(), item);
    if (it != rowItems_.end()) row = static_cast<int>(it - rowItems_.begin());
  } else {
    for (int i = 0; i < RowCount(); ++i) {
      if (ItemOfRow(i) == static_cast<int>(item)) {
        row = i;
        break;
      }
    }
  }
  QTreeWidgetItem* entry = list_->topLevelItem(row);
  if (entry == nullptr) return;
  const auto value = StoreValueText(item);
  if (!value) return;
  busy_ = true;
  entry->setText(1, *value);
  busy_ = false;
}

void ListView::HandleStoreMessage(std::uint32_t message, std::intptr_t a, std::intptr_t) {
  const auto item = static_cast<std::uint32_t>(a);
  switch (message) {
    case UM_VALUECHANGED:
    case UM_SHOWNCHANGED:
      UpdateItem(item);
      break;
    case UM_PRESENTCHANGED:
      // An item may have appeared or gone.
      if (layout_.deferredRebuild) {
        rebuildPending_ = true;
      } else if (StoreRowInGroup(item, layout_.rowFilter) != 0 && RowCount() > 0) {
        Rebuild();
      }
      break;
    case UM_DATARELEASED:
      Clear();
      break;
    case UM_DATAREADY:
      Rebuild();
      break;
    default:
      break;
  }
}

void ListView::RebuildTick() {
  if (!rebuildPending_ || RowCount() == 0) return;
  rebuildPending_ = false;
  Rebuild();
}

void ListView::ApplyColumnFractions() {
  const Settings& settings = ProgramSettings();
  const double f0 = UsableFraction(settings.*(layout_.columnFraction0), kDefaultFraction0);
  const double f1 = UsableFraction(settings.*(layout_.columnFraction1), kDefaultFraction1);
  const int w = ListWidth();
  const int c0 = static_cast<int>(w * f0);
  const int c1 = static_cast<int>(w * f1);
  busy_ = true;
  list_->header()->resizeSection(0, c0);
  list_->header()->resizeSection(1, c1);
  list_->header()->resizeSection(2, std::max(0, w - c0 - c1));
  busy_ = false;
}

void ListView::ColumnResized(int column) {
  if (busy_ || column > 1 || IsMinimised()) return;
  const int w = ListWidth();
  if (w < kMinFractionWidth) return;
  Settings& settings = ProgramSettings();
  settings.*(layout_.columnFraction0) = static_cast<double>(list_->header()->sectionSize(0)) / w;
  settings.*(layout_.columnFraction1) = static_cast<double>(list_->header()->sectionSize(1)) / w;
}

bool ListView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_->viewport() && event->type() == QEvent::Resize && !IsMinimised())
    ApplyColumnFractions();
  return DocumentView::eventFilter(watched, event);
}

void RegisterListViews(FrameWindow& frame) {
  for (const ListViewLayout& layout : kLayouts) {
    const ViewKind kind = layout.kind;
    frame.SetViewFactory(kind,
                         [&frame, kind] { return new ListView(kind, frame.ViewTarget(kind)); });
  }
}

}  // namespace heatdiag
