// The Overview: the live state of the heater as a drawn panel of the selected driver's display
// elements on a grey background, laid out in proportion to the window's size. Each element is
// redrawn when its store row changes; hovering over one shows its row's name.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "shell/gui/document_view.h"
#include "shell/gui/queued_target.h"
#include "views/overview_element.h"

namespace heatdiag {

class FrameWindow;

class OverviewView final : public DocumentView {
  Q_OBJECT
 public:
  explicit OverviewView(QueuedMessageTarget& target, QWidget* parent = nullptr);
  ~OverviewView() override;

  std::span<const OverviewElement> Elements() const { return elements_; }
  // The tooltip text at a client point; empty where none is.
  QString ToolTipAt(QPoint point) const;
  // The area a notification for `item` repaints (the union of its elements' rectangles).
  QRect ItemArea(std::uint32_t item) const;

  // A store notification (1044..1049).
  void HandleStoreMessage(std::uint32_t message, std::intptr_t a, std::intptr_t b);

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  struct Tool {
    std::size_t element;
    QString text;
  };
  void LoadElements();
  void CreateTools();

  QueuedMessageTarget& target_;
  std::span<const OverviewElement> elements_;
  std::vector<Tool> tools_;
};

// Installs the Overview's factory into the frame.
void RegisterOverview(FrameWindow& frame);

}  // namespace heatdiag
