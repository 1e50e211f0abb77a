// The service functions' dialogs: component test (139), fuel prime (165), voltage and glow plug
// adjustment (145, 146), CO2 adjustment (147, 148) and the free telegram input (154).
#pragma once

#include <QDialog>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>

#include "service/calibration.h"
#include "service/co2_worker.h"
#include "service/component_list.h"
#include "service/free_telegram.h"
#include "service/fuel_prime.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;

namespace heatdiag {

class QueuedMessageTarget;

namespace service {

// The message boxes of the dialogs ("Wrong input!", "Attention!"), replaceable by tests.
using MessageBoxFunction =
    std::function<void(QWidget* owner, const QString& caption, const QString& text)>;
void SetServiceMessageBox(MessageBoxFunction show);
void ShowServiceMessage(QWidget* owner, std::uint32_t captionId, std::uint32_t textId);

// Dialog 139, modeless.
class ComponentTestDialog final : public QDialog {
 public:
  explicit ComponentTestDialog(QWidget* parent);
  ~ComponentTestDialog() override;

  bool Waiting() const { return waiting_; }
  const ComponentList& List() const { return list_; }
  QRadioButton* Radio(std::size_t index) const { return radios_[index]; }
  QLineEdit* SetValueEdit() const { return setValue_; }
  QLineEdit* RunTimeEdit() const { return runTime_; }
  QLabel* UnitLabel() const { return unit_; }
  void Start();
  void AllOff();
  void Exit();
  // The 200 ms timer.
  void Tick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void AskReadiness(bool first);
  void Fill();
  void FollowSelection();
  std::size_t Selected() const;
  void OnStoreMessage(std::uint32_t message);

  ComponentList list_;
  bool waiting_ = false;
  bool ended_ = false;
  std::array<QRadioButton*, kComponentEntries> radios_{};
  QLineEdit* setValue_ = nullptr;
  QLabel* unit_ = nullptr;
  QLineEdit* runTime_ = nullptr;
  QTimer timer_;
  std::unique_ptr<QueuedMessageTarget> target_;
};

// Dialog 165, modal. The clock is injectable for tests (milliseconds).
class FuelPrimeDialog final : public QDialog {
 public:
  explicit FuelPrimeDialog(QWidget* parent, std::function<std::uint64_t()> clock = {});

  QLineEdit* TimeEdit() const { return edit_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* StopButton() const { return stop_; }
  void StartPrime();
  void StopPrime();
  void Tick();

 private:
  void Show(const FuelPrimeView& view);

  std::function<std::uint64_t()> clock_;
  QLineEdit* edit_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* stop_ = nullptr;
  QTimer timer_;
};

// Dialogs 145 and 146, modal.
class CalibrationDialog final : public QDialog {
 public:
  CalibrationDialog(QWidget* parent, Calibration calibration);
  QLineEdit* Edit() const { return edit_; }
  // "OK": false (and the message) when the entry is refused.
  bool Accept();

 private:
  Calibration calibration_;
  QLineEdit* edit_ = nullptr;
};

// Dialogs 147 and 148, modeless, fed by the Co2Worker through the request.
class Co2Dialog final : public QDialog {
 public:
  Co2Dialog(QWidget* parent, Co2Request* request);
  ~Co2Dialog() override;
  QSlider* Slider() const { return slider_; }
  QSpinBox* Spin() const { return spin_; }
  QLineEdit* HexEdit() const { return hex_; }
  void Tick();  // the 100 ms timer: ends the dialog once abort is set

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Take(int value);

  Co2Request* request_;
  QSlider* slider_ = nullptr;
  QSpinBox* spin_ = nullptr;
  QLineEdit* hex_ = nullptr;
  QTimer timer_;
  bool ended_ = false;
};

// Dialog 154, modeless.
class FreeTelegramDialog final : public QDialog {
 public:
  // `viewAnswer`: opens the Protocol view and starts its recording when needed.
  FreeTelegramDialog(QWidget* parent, std::function<void()> viewAnswer);
  QLineEdit* DeviceEdit() const { return device_; }
  QLineEdit* SourceEdit() const { return source_; }
  QLineEdit* DataEdit() const { return data_; }
  QCheckBox* ViewAnswerBox() const { return viewAnswer_; }
  void Transmit();
  void SetDefaultAddress();
  void Refresh();

 private:
  std::function<void()> openProtocol_;
  FreeTelegram working_;
  QLineEdit* device_ = nullptr;
  QLineEdit* source_ = nullptr;
  QLineEdit* data_ = nullptr;
  QCheckBox* viewAnswer_ = nullptr;
};

}  // namespace service
}  // namespace heatdiag
