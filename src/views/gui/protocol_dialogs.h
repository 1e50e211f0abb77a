// The protocol's dialogs: 155 "Protocol file" of the measurement log (file and write interval),
// 161 "Protocol file" of the protocol, and the file choice of "Save protocol as...".
// ProtocolDialogs is what the protocol's commands ask; tests answer it with a fake.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>

#include "base/settings.h"

class QLineEdit;
class QSpinBox;

namespace heatdiag {

class ProtocolDialogs {
 public:
  virtual ~ProtocolDialogs() = default;
  // Dialog 155 on LastInput "ProtoFile" and "ProtoTime"; true for OK (the settings then hold
  // the choice).
  virtual bool EditMeasurementFile(QWidget* owner, Settings& settings) = 0;
  // Dialog 161 on ProtView "File"; true for OK.
  virtual bool EditProtocolFile(QWidget* owner, Settings& settings) = 0;
  // The file "Save protocol as..." writes; empty when cancelled.
  virtual QString SaveProtocolAs(QWidget* owner) = 0;
  virtual void ShowError(QWidget* owner, const QString& caption, const QString& text) = 0;
};

class WidgetProtocolDialogs final : public ProtocolDialogs {
 public:
  bool EditMeasurementFile(QWidget* owner, Settings& settings) override;
  bool EditProtocolFile(QWidget* owner, Settings& settings) override;
  QString SaveProtocolAs(QWidget* owner) override;
  void ShowError(QWidget* owner, const QString& caption, const QString& text) override;
};

// The write interval the dialog shows for a stored one: 0 as 10, then 1..1000.
int ShownWriteInterval(std::int32_t stored);

// Dialog 155 (and, without the interval, dialog 161).
class ProtocolFileDialog final : public QDialog {
  Q_OBJECT
 public:
  static constexpr std::uint32_t kMeasurementHelpContext = 0x2009B;
  static constexpr std::uint32_t kProtocolHelpContext = 0x200A1;
  static constexpr int kMinInterval = 1;
  static constexpr int kMaxInterval = 1000;

  // withInterval: dialog 155; the interval shown is ShownWriteInterval(interval).
  ProtocolFileDialog(const std::string& file, bool withInterval, std::int32_t interval,
                     QWidget* parent = nullptr);

  QLineEdit* FileField() const { return file_; }
  QSpinBox* IntervalField() const { return interval_; }
  // The file name of the field, at most 255 characters.
  std::string FileName() const;
  int Interval() const;
  // "Search...": a file dialog whose choice replaces the field.
  void Search();

 private:
  QLineEdit* file_ = nullptr;
  QSpinBox* interval_ = nullptr;
};

}  // namespace heatdiag
