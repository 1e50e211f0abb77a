// The window "Automatic control unit search": two lines, the control unit being tried and the
// number of units still to try, and a button that ends the search.
#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <functional>

#include "drivers/device_search.h"

class QLabel;

namespace heatdiag {

class SearchDialog final : public QDialog {
  Q_OBJECT
 public:
  explicit SearchDialog(QWidget* parent = nullptr);

  void ShowUnit(const QString& name, std::uint32_t remaining);
  QString UnitText() const;
  QString RemainingText() const;
  // Closes the window because the search has ended (no cancel request).
  void CloseQuietly();

  static constexpr std::uint32_t kHelpContext = 0x200A3;

 protected:
  void reject() override;

 private:
  QLabel* unit_ = nullptr;
  QLabel* remaining_ = nullptr;
  bool quiet_ = false;
};

// The search thread's window: every call is handed to the GUI thread and returns at once.
class SearchWindowBridge final : public SearchWindow {
 public:
  // owner: the frame the window opens over; refresh and title: the frame's updates.
  SearchWindowBridge(QWidget* owner, std::function<void()> refreshCommands,
                     std::function<void()> updateTitle);
  ~SearchWindowBridge() override;

  void Open() override;
  void ShowUnit(std::string_view name, std::uint32_t remaining) override;
  void Close() override;
  void RefreshCommands() override;
  void SelectedDeviceChanged() override;

  // GUI thread: the frame the window opens over.
  void SetOwner(QWidget* owner) { owner_ = owner; }
  // GUI thread: the window while it is open.
  SearchDialog* Dialog() const { return dialog_; }

 private:
  void OnGui(std::function<void()> work);

  QObject context_;  // lives on the GUI thread; pending calls die with it
  QPointer<QWidget> owner_;
  QPointer<SearchDialog> dialog_;
  std::function<void()> refreshCommands_;
  std::function<void()> updateTitle_;
};

}  // namespace heatdiag
