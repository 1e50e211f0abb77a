// The dataset worker's dialogs besides the editor: "EOL dataset addresses", the modeless "EOL
// cell", the progress dialog "Data transfer running..." and "Baud rate for block mode".
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QLabel;

namespace heatdiag {

struct AddressRequest;
struct CellRequest;
struct TransferProgress;

// How the dialogs show "Wrong input!" messages (tests replace it).
using WarningBox = std::function<void(QWidget* owner, const QString& caption, const QString& text)>;
void ShowWarningBox(QWidget* owner, const QString& caption, const QString& text);

class AddressesDialog final : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogId = 149;
  explicit AddressesDialog(AddressRequest& request, QWidget* parent = nullptr,
                           WarningBox warn = ShowWarningBox);
  ~AddressesDialog() override;
  QLineEdit* Field(int index) const { return fields_[static_cast<std::size_t>(index)]; }
  void PressOk();
  void PressWithoutChecksum();

 protected:
  void done(int result) override;

 private:
  struct Fields;
  void Apply(bool withChecksum);

  AddressRequest& request_;
  WarningBox warn_;
  std::array<QLineEdit*, 5> fields_{};
  std::uint16_t openedSize_ = 0;
  QTimer abortTimer_;
  bool finished_ = false;
};

class EolCellDialog final : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogId = 150;
  explicit EolCellDialog(CellRequest& request, QWidget* parent = nullptr);
  ~EolCellDialog() override;

  // Rows 0 address, 1 current value, 2 new value; columns 0 hex, 1 dec, 2 bin.
  QLineEdit* Field(int row, int column) const {
    return fields_[static_cast<std::size_t>(row * 3 + column)];
  }
  QPushButton* ReadButton() const { return read_; }
  QPushButton* WriteButton() const { return write_; }
  // One tick of the 100 ms timer.
  void Tick();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void done(int result) override;

 private:
  void AddressTyped(int column);
  void NewValueTyped(int column);
  void ShowAddress(int except);
  void ShowCurrent(bool pending);
  void ShowNewValue(int except);
  void UpdateButtons();
  void MarkClosed();

  CellRequest& request_;
  std::array<QLineEdit*, 9> fields_{};
  QPushButton* read_ = nullptr;
  QPushButton* write_ = nullptr;
  QTimer timer_;
};

class TransferDialog final : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogId = 153;
  explicit TransferDialog(TransferProgress& progress, QWidget* parent = nullptr);
  QProgressBar* Bar() const { return bar_; }
  void Tick();

 private:
  TransferProgress& progress_;
  QProgressBar* bar_ = nullptr;
  QTimer timer_;
};

class BlockBaudDialog final : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogId = 164;
  explicit BlockBaudDialog(QWidget* parent = nullptr, WarningBox warn = ShowWarningBox);
  QLineEdit* Field() const { return field_; }
  void PressOk();

 private:
  WarningBox warn_;
  QLineEdit* field_ = nullptr;
};

}  // namespace heatdiag
